#include "server/vek_service_core.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "fakes/fake_registry.h"
#include "posix/vek_native_client.h"
#include "posix/vek_native_host.h"
#include "posix/vek_native_options.h"
#include "server/vek_protocol.h"

namespace updexar::vek {
namespace {

using Phase = Session::Phase;

// A server with one data directory per product and a set of files that exist; it records what
// it was asked so tests can see that refused requests never reach the file system.
struct FakeServer {
    std::map<std::string, std::string> dirs{{"GLV", "D:\\Data\\Galvano"}, {"TRS", "D:\\Data\\Tarsel"}};
    std::set<std::string> files{"D:\\Data\\Galvano\\T1234.txt"};
    std::vector<std::string> asked;
    bool throwOnLookup = false;
    ServiceCore core{[this](const ProductRow& p) -> std::optional<std::string> {
                         if (throwOnLookup) throw std::runtime_error("registry gone");
                         auto it = dirs.find(std::string(p.code));
                         if (it == dirs.end()) return std::nullopt;
                         return it->second;
                     },
                     [this](const std::string& dir, const std::string& name) {
                         asked.push_back(dir + "\\" + name);
                         return files.count(dir + "\\" + name) > 0;
                     },
                     ServiceLimits{10000, 100, 1000}};
};

const std::string kKey24 = MachineKeyFromSeed(kFallbackSeed);
const std::string kKey30 = MachineKeyFromSeed("2147483648");

std::string RawRequest(const std::string& plain, const std::string& key) { return Cipher(plain, key) + Cipher(key, ""); }

// The lookup done on the spot, where the hosts hand it to the check pool.
void LookUp(Session& session, const ServiceCore& core, int64_t now) {
    if (session.CurrentPhase() == Phase::Checking) session.OnChecked(core.Answer(session.Request()), now);
}

TEST(VekService, ProductLookupsByLetterKeyAndCode) {
    EXPECT_EQ(ProductByLetter('g')->key, "Galvano");
    EXPECT_EQ(ProductByLetter('n')->dbName, "QorNevrin");
    EXPECT_EQ(ProductByLetter('z'), nullptr);
    EXPECT_EQ(ProductByKey("galvano"), nullptr);
    EXPECT_EQ(ProductByKey("O")->code, "");
    EXPECT_EQ(ProductByCode("NVR")->key, "Nevrin");
    // X and O have no code: an empty code must not find them.
    EXPECT_EQ(ProductByCode(""), nullptr);
    EXPECT_EQ(ProductByCode("glv"), nullptr);
}

TEST(VekService, AnswersAWholeRequestAtOnce) {
    FakeServer server;
    for (const std::string& key : {kKey24, kKey30, MachineKeyFromSeed("7")}) {
        Session session(server.core, 0);
        const size_t asked = server.asked.size();
        session.OnArrival(BuildRequest("T1234", "GLV", key), 0);
        ASSERT_EQ(session.CurrentPhase(), Phase::Checking) << key;
        EXPECT_EQ(server.asked.size(), asked);  // the lookup is the host's to run, off its loop
        LookUp(session, server.core, 0);
        ASSERT_EQ(session.CurrentPhase(), Phase::Replying) << key;
        EXPECT_EQ(ParseAnswer(session.Reply(), key, "GLV"), "EXIST");
        session.OnReplySent(0);
        EXPECT_EQ(session.CurrentPhase(), Phase::Draining);
        session.OnArrival("late bytes are ignored", 1);
        session.OnPeerClosed(2);
        EXPECT_EQ(session.CurrentPhase(), Phase::Done);
    }
    EXPECT_EQ(server.asked.back(), "D:\\Data\\Galvano\\T1234.txt");

    EXPECT_EQ(ParseAnswer(AnswerBytes(server.core, BuildRequest("T9999", "GLV", kKey24)), kKey24, "GLV"), "NOTEXIST");
    // A product without a data directory here, or a lookup that fails, confirms nothing.
    EXPECT_EQ(ParseAnswer(AnswerBytes(server.core, BuildRequest("T1234", "RVN", kKey24)), kKey24, "RVN"), "NOTEXIST");
    server.throwOnLookup = true;
    EXPECT_EQ(ParseAnswer(AnswerBytes(server.core, BuildRequest("T1234", "GLV", kKey24)), kKey24, "GLV"), "NOTEXIST");
}

TEST(VekService, SplitRequestIsUnderstoodWhereverItIsCut) {
    FakeServer server;
    for (const std::string& key : {kKey24, kKey30}) {
        const std::string request = BuildRequest("T1234", "GLV", key);
        for (size_t cut = 1; cut < request.size(); ++cut) {
            Session session(server.core, 0);
            session.OnArrival(request.substr(0, cut), 0);
            // The first piece alone may look whole only when it is cut between key pieces.
            if (session.CurrentPhase() == Phase::Checking) {
                EXPECT_GT(cut, 20u);
                EXPECT_EQ((cut - 20) % 3, 0u);
                continue;
            }
            ASSERT_EQ(session.CurrentPhase(), Phase::Reading) << cut;
            session.OnArrival(request.substr(cut), 50);
            if (key.size() < kMaxMachineKeyLength) {
                // Not yet: more of the key could still be on its way.
                EXPECT_EQ(session.CurrentPhase(), Phase::Reading) << cut;
                session.OnTime(149);
                EXPECT_EQ(session.CurrentPhase(), Phase::Reading) << cut;
                session.OnTime(150);
            }
            LookUp(session, server.core, 150);
            ASSERT_EQ(session.CurrentPhase(), Phase::Replying) << cut;
            EXPECT_EQ(ParseAnswer(session.Reply(), key, "GLV"), "EXIST") << cut;
        }
    }
}

TEST(VekService, ByteByByteAndHalfClose) {
    FakeServer server;
    // A 24-character key sent a byte at a time: the request looks whole after 44 bytes, and
    // the settle time passes without more.
    const std::string request = BuildRequest("T1234", "GLV", kKey24);
    Session trickle(server.core, 0);
    for (size_t i = 0; i < request.size(); ++i) {
        trickle.OnArrival(request.substr(i, 1), static_cast<int64_t>(i) * 10);
        trickle.OnTime(static_cast<int64_t>(i) * 10);
    }
    EXPECT_EQ(trickle.CurrentPhase(), Phase::Reading);
    trickle.OnTime(trickle.Deadline());
    LookUp(trickle, server.core, trickle.Deadline());
    ASSERT_EQ(trickle.CurrentPhase(), Phase::Replying);
    EXPECT_EQ(ParseAnswer(trickle.Reply(), kKey24, "GLV"), "EXIST");

    // Half-closing ends the request at once.
    Session halfClosed(server.core, 0);
    halfClosed.OnArrival(request.substr(0, 30), 0);
    halfClosed.OnArrival(request.substr(30), 1);
    halfClosed.OnPeerClosed(2);
    LookUp(halfClosed, server.core, 2);
    ASSERT_EQ(halfClosed.CurrentPhase(), Phase::Replying);
    EXPECT_EQ(ParseAnswer(halfClosed.Reply(), kKey24, "GLV"), "EXIST");
    // Once the answer is out there is nothing to wait for.
    halfClosed.OnReplySent(3);
    EXPECT_EQ(halfClosed.CurrentPhase(), Phase::Done);

    // A connection that says nothing is closed without a word.
    Session silent(server.core, 0);
    silent.OnPeerClosed(5);
    EXPECT_EQ(silent.CurrentPhase(), Phase::Done);
}

TEST(VekService, RefusesAnythingButATokenAndAProductCode) {
    FakeServer server;
    const std::vector<std::string> plains = {
        "tOkEnMaRkRT12a4GLVVD",  // token with a letter
        "tOkEnMaRkRX1234GLVVD",  // token without its T
        "tOkEnMaRkR..\\..GLVVD", // a path instead of a token
        "tOkEnMaRkRT1234ZZZVD",  // unknown product code
        "tOkEnMaRkRT1234glvVD",  // code in the wrong case
        "tOkEnMaRkRT1234GLVXX",  // wrong tail
        "TOKENMARKRT1234GLVVD",  // wrong marker
        "tOkEnMaRkRT123GLVVD",   // four-character token
        "tOkEnMaRkRT12345GLVVD", // six-character token
        "tOkEnMaRkRT1234VD",     // the empty code of X and O
    };
    for (const auto& plain : plains) {
        EXPECT_EQ(AnswerBytes(server.core, RawRequest(plain, kKey24)), kInvalidCommand) << plain;
        EXPECT_EQ(AnswerBytes(server.core, RawRequest(plain, kKey30)), kInvalidCommand) << plain;
    }
    // A key that is not "dd " pieces of digit codes, too long a key, and plain noise.
    EXPECT_EQ(AnswerBytes(server.core, RawRequest("tOkEnMaRkRT1234GLVVD", "ab ")), kInvalidCommand);
    EXPECT_EQ(AnswerBytes(server.core, RawRequest("tOkEnMaRkRT1234GLVVD", "12 ")), kInvalidCommand);
    EXPECT_EQ(AnswerBytes(server.core, RawRequest("tOkEnMaRkRT1234GLVVD", kKey30 + "84 ")), kInvalidCommand);
    EXPECT_EQ(AnswerBytes(server.core, "GET / HTTP/1.0\r\n\r\n"), kInvalidCommand);
    EXPECT_EQ(AnswerBytes(server.core, std::string(4096, 'x')), kInvalidCommand);
    EXPECT_EQ(AnswerBytes(server.core, ""), "");
    EXPECT_TRUE(server.asked.empty());

    // Noise is refused as soon as it arrives, not at the time-out.
    Session noisy(server.core, 0);
    noisy.OnArrival(RawRequest("tOkEnMaRkRT1234ZZZVD", kKey24), 0);
    EXPECT_EQ(noisy.CurrentPhase(), Phase::Replying);
    Session flood(server.core, 0);
    flood.OnArrival(std::string(30, '\x01'), 0);
    flood.OnArrival(std::string(30, '\x01'), 1);
    EXPECT_EQ(flood.CurrentPhase(), Phase::Replying);
    EXPECT_EQ(flood.Reply(), kInvalidCommand);
}

TEST(VekService, TimeOutsBoundEveryConnection) {
    FakeServer server;
    const std::string request = BuildRequest("T1234", "GLV", kKey24);
    // Half a request, then nothing: refused at the read time-out.
    Session stalled(server.core, 0);
    stalled.OnArrival(request.substr(0, 10), 0);
    stalled.OnTime(9999);
    EXPECT_EQ(stalled.CurrentPhase(), Phase::Reading);
    EXPECT_EQ(stalled.Deadline(), 10000);
    stalled.OnTime(10000);
    ASSERT_EQ(stalled.CurrentPhase(), Phase::Replying);
    EXPECT_EQ(stalled.Reply(), kInvalidCommand);
    // A client that never reads the answer or never closes is let go after the drain time.
    stalled.OnTime(11000);
    EXPECT_EQ(stalled.CurrentPhase(), Phase::Done);

    // A trickle does not extend the time-out: it runs from the connection.
    Session slow(server.core, 0);
    for (int64_t t = 0; t < 10000; t += 500) {
        slow.OnArrival(request.substr(0, 1), t);
        slow.OnTime(t);
    }
    EXPECT_EQ(slow.CurrentPhase(), Phase::Reading);
    slow.OnTime(10000);
    EXPECT_EQ(slow.CurrentPhase(), Phase::Replying);

    // Nothing at all: closed, no answer.
    Session idle(server.core, 0);
    idle.OnTime(10000);
    EXPECT_EQ(idle.CurrentPhase(), Phase::Done);

    // A lookup that does not come back in time answers as a failed one, however the file
    // stands; its late result changes nothing.
    Session hung(server.core, 0);
    hung.OnArrival(request, 0);
    ASSERT_EQ(hung.CurrentPhase(), Phase::Checking);
    EXPECT_EQ(hung.Deadline(), 3000);
    hung.OnTime(3000);
    ASSERT_EQ(hung.CurrentPhase(), Phase::Replying);
    EXPECT_EQ(ParseAnswer(hung.Reply(), kKey24, "GLV"), "NOTEXIST");
    hung.OnChecked(BuildAnswer("GLV", true, kKey24), 3001);
    EXPECT_EQ(ParseAnswer(hung.Reply(), kKey24, "GLV"), "NOTEXIST");
}

TEST(VekService, PortAndDataDirectoryFromTheRegistry) {
    for (const auto& [text, port] : std::vector<std::pair<std::string, int>>{
             {"", 7070}, {"0", 7070}, {"7171", 7171}, {" 8080 ", 8080}, {"9000x", 9000}, {"abc", 7070}, {"70000", 7070}}) {
        EXPECT_EQ(ServicePortFromText(text), port) << text;
    }
    fakes::FakeRegistry registry;
    EXPECT_EQ(ReadServicePort(registry), 7070);
    auto info = registry.Create(platform::RegRoot::LocalMachine, "Software\\VEKInfo");
    info->SetString("SvrPort", "7272");
    EXPECT_EQ(ReadServicePort(registry), 7272);
    info->SetDword("SvrPort", 7373);
    EXPECT_EQ(ReadServicePort(registry), 7373);

    const ProductRow& galvano = *ProductByCode("GLV");
    EXPECT_EQ(ReadDataDirectory(registry, galvano), std::nullopt);
    auto product = registry.Create(platform::RegRoot::LocalMachine, "Software\\VEKInfo\\Galvano");
    product->SetString("AppPath", std::string("D:\\Data\\Galvano\\\0junk", 21));
    EXPECT_EQ(ReadDataDirectory(registry, galvano), "D:\\Data\\Galvano");
    product->SetString("AppPath", "");
    EXPECT_EQ(ReadDataDirectory(registry, galvano), std::nullopt);
}

TEST(VekNativeHost, SettingsLinesAndArguments) {
    posix::NativeOptions options;
    std::string error;
    EXPECT_TRUE(posix::ApplySettingLine("GLV=/srv/galvano", options, error));
    EXPECT_TRUE(posix::ApplySettingLine("  # comment", options, error));
    EXPECT_TRUE(posix::ApplySettingLine("port = 7171", options, error));
    EXPECT_EQ(options.dataByCode.at("GLV"), "/srv/galvano");
    EXPECT_EQ(options.host.port, 7171);
    EXPECT_FALSE(posix::ApplySettingLine("XYZ=/x", options, error));
    EXPECT_FALSE(posix::ApplySettingLine("GLV=", options, error));
    EXPECT_FALSE(posix::ApplySettingLine("port=70000", options, error));
    EXPECT_FALSE(posix::ApplySettingLine("just words", options, error));

    EXPECT_TRUE(posix::ParseNativeArguments({"--port", "0", "--data", "TRS=/srv/t", "--threads", "2"}, options, error));
    EXPECT_EQ(options.host.port, 0);
    EXPECT_EQ(options.dataByCode.at("TRS"), "/srv/t");
    EXPECT_FALSE(posix::ParseNativeArguments({"--port"}, options, error));
    EXPECT_FALSE(posix::ParseNativeArguments({"--bogus", "1"}, options, error));
    EXPECT_FALSE(posix::ParseNativeArguments({"--config", "/nonexistent/vek.conf"}, options, error));
}

// A host on a free loopback port with two workers.
posix::NativeHostOptions LoopbackOptions() {
    posix::NativeHostOptions options;
    options.address = "127.0.0.1";
    options.port = 0;
    options.threads = 2;
    return options;
}

// The epoll host end to end on loopback (what a request means is the session tests' business):
// a request whole, in pieces and half-closed, many clients at once, and silent clients that do
// not hold up the others.
TEST(VekNativeHost, AnswersOverLoopback) {
    const auto dir = std::filesystem::temp_directory_path() / ("vek_host_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "T1234.txt") << "Test\r\n";
    ServiceCore core(
        [&](const ProductRow& p) -> std::optional<std::string> {
            if (p.code == "GLV") return dir.string();
            return std::nullopt;
        },
        [](const std::string& d, const std::string& name) { return std::filesystem::exists(std::filesystem::path(d) / name); },
        ServiceLimits{500, 50, 500});
    posix::NativeHost host(core, LoopbackOptions());
    std::string error;
    ASSERT_TRUE(host.Start(error)) << error;
    const uint16_t port = host.Port();

    posix::IdleConnections idle;
    ASSERT_EQ(idle.Open(port, 50), 50u);

    std::string answer;
    const std::string request = BuildRequest("T1234", "GLV", kKey24);
    ASSERT_TRUE(posix::ExchangeOnce(port, {request}, 0, false, 3000, answer));
    EXPECT_EQ(ParseAnswer(answer, kKey24, "GLV"), "EXIST");
    ASSERT_TRUE(posix::ExchangeOnce(port, {request.substr(0, 7), request.substr(7)}, 20, false, 3000, answer));
    EXPECT_EQ(ParseAnswer(answer, kKey24, "GLV"), "EXIST");
    ASSERT_TRUE(posix::ExchangeOnce(port, {std::string(200, 'A')}, 0, true, 3000, answer));
    EXPECT_EQ(answer, kInvalidCommand);

    // Clients at once, on both workers.
    std::vector<std::thread> clients;
    std::atomic<int> right{0};
    for (int i = 0; i < 8; ++i) {
        clients.emplace_back([&] {
            for (int j = 0; j < 10; ++j) {
                std::string got;
                if (posix::ExchangeOnce(port, {request}, 0, false, 3000, got) && ParseAnswer(got, kKey24, "GLV") == "EXIST")
                    ++right;
            }
        });
    }
    for (auto& t : clients) t.join();
    EXPECT_EQ(right.load(), 80);

    // The silent ones are cut off by the read time-out, not kept for ever.
    for (int i = 0; i < 100 && idle.ClosedByPeer() < 50; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(idle.ClosedByPeer(), 50u);
    EXPECT_EQ(host.OpenConnections(), 0u);
    host.Stop();
    std::filesystem::remove_all(dir);
}

// A data directory whose lookups hang until the test lets them go, as on a share that does not
// answer.
struct HangingShare {
    std::mutex mutex;
    std::condition_variable changed;
    int entered = 0;
    bool released = false;

    void Enter() {
        std::unique_lock<std::mutex> lock(mutex);
        ++entered;
        changed.notify_all();
        changed.wait(lock, [&] { return released; });
    }
    void WaitForEntered(int count) {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return entered >= count; });
    }
    void Release() {
        std::lock_guard<std::mutex> lock(mutex);
        released = true;
        changed.notify_all();
    }
};

// A request sent from a thread of its own; its answer is looked at later.
struct PendingCheck {
    std::string answer;
    std::atomic<bool> done{false};
    std::thread thread;
    PendingCheck(uint16_t port, const std::string& request) {
        thread = std::thread([this, port, request] {
            posix::ExchangeOnce(port, {request}, 0, false, 60000, answer);
            done = true;
        });
    }
    std::string Wait() {
        if (thread.joinable()) thread.join();
        return answer;
    }
    ~PendingCheck() { Wait(); }
};

// Lookups of Tarsel's folder hang; Galvano's are answered meanwhile, by every worker of the
// host; and a lookup that hangs past the check time answers as a failed one while it still hangs.
TEST(VekNativeHost, AHangingDataDirectoryHoldsNoOtherCheck) {
    const auto dir = std::filesystem::temp_directory_path() / ("vek_hang_test_" + std::to_string(::getpid()));
    for (const char* product : {"Galvano", "Tarsel"}) {
        std::filesystem::create_directories(dir / product);
        std::ofstream(dir / product / "T1234.txt") << "Test\r\n";
    }
    HangingShare share;
    auto makeCore = [&](int64_t checkTimeoutMs) {
        return ServiceCore(
            [&](const ProductRow& p) -> std::optional<std::string> { return (dir / std::string(p.key)).string(); },
            [&](const std::string& d, const std::string& name) {
                if (d.find("Tarsel") != std::string::npos) share.Enter();
                return std::filesystem::exists(std::filesystem::path(d) / name);
            },
            ServiceLimits{10000, 50, 500, checkTimeoutMs});
    };
    const posix::NativeHostOptions options = LoopbackOptions();
    const std::string slowRequest = BuildRequest("T1234", "TRS", kKey24);
    const std::string fastRequest = BuildRequest("T1234", "GLV", kKey24);
    std::string error;
    {
        const ServiceCore core = makeCore(60000);
        posix::NativeHost host(core, options);
        ASSERT_TRUE(host.Start(error)) << error;
        // More hanging checks than one product may have under way.
        std::vector<std::unique_ptr<PendingCheck>> slow;
        for (int i = 0; i < 8; ++i) slow.push_back(std::make_unique<PendingCheck>(host.Port(), slowRequest));
        share.WaitForEntered(1);
        for (int i = 0; i < 6; ++i) {
            std::string answer;
            ASSERT_TRUE(posix::ExchangeOnce(host.Port(), {fastRequest}, 0, false, 60000, answer));
            EXPECT_EQ(ParseAnswer(answer, kKey24, "GLV"), "EXIST");
        }
        for (const auto& check : slow) EXPECT_FALSE(check->done);
        share.Release();
        for (const auto& check : slow) EXPECT_EQ(ParseAnswer(check->Wait(), kKey24, "TRS"), "EXIST");
        host.Stop();
    }
    {
        share.released = false;
        const ServiceCore core = makeCore(100);
        posix::NativeHost host(core, options);
        ASSERT_TRUE(host.Start(error)) << error;
        // Answered while the lookup still hangs: the share is let go only afterwards.
        std::string answer;
        ASSERT_TRUE(posix::ExchangeOnce(host.Port(), {slowRequest}, 0, false, 60000, answer));
        EXPECT_EQ(ParseAnswer(answer, kKey24, "TRS"), "NOTEXIST");
        share.Release();
        host.Stop();
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace updexar::vek
