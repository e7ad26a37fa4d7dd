#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <future>
#include <random>
#include <semaphore>
#include <set>
#include <thread>

#include "core/config.h"
#include "core/exit_codes.h"
#include "fakes/fake_platform.h"
#include "mainwindow/frmmain.h"
#include "posix/vek_native_client.h"
#include "posix/vek_native_host.h"
#include "posix/vek_native_options.h"
#include "server/frmcheckonsvr.h"
#include "server/vek_protocol.h"
#include "server/vek_service_core.h"
#include "ui_fixture.h"
#include "update/frmupdate.h"

namespace updexar::vek {
namespace {

using Phase = Session::Phase;

const std::string kKey24 = MachineKeyFromSeed(kFallbackSeed);
const std::string kKey30 = MachineKeyFromSeed("2147483648");
const std::string kKey18 = MachineKeyFromSeed("305419");  // a small serial: the key wraps round within the request

TEST(VekProtocol, CipherMachineKeyAndTokens) {
    // 'A' = 65: 65 mod 7 = 2, 65 mod 3 = 2. '?' = 63 divides by both, so the code itself twice;
    // no key: the default one, 'W' = 87 giving 3 and 87.
    EXPECT_EQ(ExpandKey("?"), "6363");
    EXPECT_EQ(ExpandKey("").substr(0, 5), "38731");
    EXPECT_EQ(Cipher("aa", "A"), "SS");  // every character meets '2': 'a' ^ '2' = 'S'
    std::mt19937 rng(7);
    for (int round = 0; round < 300; ++round) {
        std::string key, plain;
        for (int i = round % 3 == 0 ? 0 : 1 + round % 31; i > 0; --i) key += static_cast<char>(32 + rng() % 224);
        for (int i = round % 64; i > 0; --i) plain += "\x01\x7f\x80\xff abc"[rng() % 8];
        const std::string once = Cipher(plain, key);
        EXPECT_EQ(Cipher(once, key), plain);
        EXPECT_EQ(once.find_first_of(std::string("\0\n\r\x1a", 4)), std::string::npos) << once;
    }
    // The first fixed drive with a serial seeds the key; its digits become pieces, by turns at
    // the end and in front: '1' = 49 -> "94 " appended, '2' -> "05 " in front, '3' -> "15 " appended.
    EXPECT_EQ(MachineKeySeed({{"A", platform::DriveRemovable, true, true, 111},
                              {"C", platform::DriveFixed, false, false, 0},
                              {"D", platform::DriveFixed, true, true, -123456789},
                              {"E", platform::DriveFixed, true, true, 5}}),
              "123456789");
    EXPECT_EQ(MachineKeySeed({{"C", platform::DriveFixed, true, true, INT32_MIN}}), "2147483648");
    EXPECT_EQ(MachineKeySeed({{"C", platform::DriveNetwork, true, true, 42}}), kFallbackSeed);
    EXPECT_EQ(MachineKeyFromSeed("123"), "05 94 15 ");
    EXPECT_EQ(kKey24.size(), 24u);
    EXPECT_EQ(kKey30.size(), 30u);

    EXPECT_EQ(MakeToken(59.6), "T0060");
    EXPECT_EQ(MakeToken(86399.4), "T6399");
    for (const char* bad : {"", "T123", "T12345", "t0123", "T01a3", "T 123", "X0123"}) EXPECT_FALSE(IsValidToken(bad)) << bad;
    EXPECT_EQ(PlainRequest("T0123", "GLV"), "tOkEnMaRkRT0123GLVVD");
}

TEST(VekProtocol, EveryKindOfAnswerReadsAsItsOutcome) {
    EXPECT_EQ(PlainAnswer("GLV", true), "TSIXE-VLG--tLaRkRaMnEkOt|0");
    const std::pair<std::string, std::string> answers[] = {
        {"", ""},
        {"INVALIDCOMMAND|0", "NOUPD"},
        {Cipher("INVALIDCOMMAND|7", kKey24), "NOUPD"},
        {BuildAnswer("TRS", true, kKey24), "-1"},  // another product's answer
        {BuildAnswer("GLV", true, MachineKeyFromSeed("99")), "-1"},  // another key
        {"|", "-1"},
    };
    for (const auto& [answer, outcome] : answers) EXPECT_EQ(ParseAnswer(answer, kKey24, "GLV"), outcome) << answer;
}

// A server with one data directory per product and the files that exist; it records what it was
// asked, so refused requests are seen never to reach the file system.
struct FakeServer {
    std::map<std::string, std::string> dirs{{"GLV", "D:\\Data\\Galvano"}, {"TRS", "D:\\Data\\Tarsel"}, {"NVR", ""}};
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
                     ServiceLimits{}};  // the service's own
    // The lookup done on the spot, where the hosts hand it to the check pool.
    void LookUp(Session& session, int64_t now) {
        if (session.CurrentPhase() == Phase::Checking) session.OnChecked(core.Answer(session.Request()), now);
    }
    std::string Asked(const std::string& request, const std::string& key, const std::string& code) {
        return ParseAnswer(AnswerBytes(core, request), key, code);
    }
};

TEST(VekService, ProductsAndAnswersToWholeRequests) {
    EXPECT_EQ(ProductByLetter('n')->dbName, "QorNevrin");
    EXPECT_EQ(ProductByKey("O")->code, "");
    EXPECT_EQ(ProductByCode("NVR")->key, "Nevrin");
    EXPECT_EQ(ProductByCode(""), nullptr);  // X and O have no code: an empty code must not find them

    FakeServer server;
    for (const std::string& key : {kKey24, kKey30, MachineKeyFromSeed("7")}) {
        Session session(server.core, 0);
        session.OnArrival(BuildRequest("T1234", "GLV", key), 0);
        ASSERT_EQ(session.CurrentPhase(), Phase::Checking) << key;
        EXPECT_TRUE(server.asked.empty());  // the lookup is the host's to run, off its loop
        server.LookUp(session, 0);
        ASSERT_EQ(session.CurrentPhase(), Phase::Replying) << key;
        EXPECT_EQ(ParseAnswer(session.Reply(), key, "GLV"), "EXIST");
        server.asked.clear();
        session.OnReplySent(0);
        EXPECT_EQ(session.CurrentPhase(), Phase::Draining);
        session.OnArrival("late bytes are ignored", 1);
        session.OnPeerClosed(2);
        EXPECT_EQ(session.CurrentPhase(), Phase::Done);
    }
    EXPECT_EQ(server.Asked(BuildRequest("T9999", "GLV", kKey24), kKey24, "GLV"), "NOTEXIST");
    // A product without a data directory here (none, or an empty one), or a lookup that fails, confirms nothing.
    for (const char* code : {"RVN", "NVR"})
        EXPECT_EQ(server.Asked(BuildRequest("T1234", code, kKey24), kKey24, code), "NOTEXIST");
    EXPECT_EQ(server.asked, std::vector<std::string>{"D:\\Data\\Galvano\\T9999.txt"});
    server.throwOnLookup = true;
    EXPECT_EQ(server.Asked(BuildRequest("T1234", "GLV", kKey24), kKey24, "GLV"), "NOTEXIST");
}

TEST(VekService, ARequestIsUnderstoodWhereverItIsCutAndByteByByte) {
    FakeServer server;
    for (const std::string& key : {kKey24, kKey30, kKey18}) {
        const std::string request = BuildRequest("T1234", "GLV", key);
        for (size_t cut = 1; cut < request.size(); ++cut) {
            Session session(server.core, 0);
            session.OnArrival(request.substr(0, cut), 0);
            // The first piece alone may look whole only when it is cut between key pieces.
            if (session.CurrentPhase() == Phase::Checking) {
                EXPECT_TRUE(cut > 20 && (cut - 20) % 3 == 0) << cut;
                continue;
            }
            ASSERT_EQ(session.CurrentPhase(), Phase::Reading) << cut;
            session.OnArrival(request.substr(cut), 50);
            if (key.size() < kMaxMachineKeyLength) {
                // Not yet: more of the key could still be on its way until it settles.
                session.OnTime(149);
                EXPECT_EQ(session.CurrentPhase(), Phase::Reading) << cut;
                session.OnTime(150);
            }
            server.LookUp(session, 150);
            ASSERT_EQ(session.CurrentPhase(), Phase::Replying) << cut;
            EXPECT_EQ(ParseAnswer(session.Reply(), key, "GLV"), "EXIST") << cut;
        }
    }

    const std::string request = BuildRequest("T1234", "GLV", kKey24);
    Session trickle(server.core, 0);
    for (size_t i = 0; i < request.size(); ++i) {
        trickle.OnArrival(request.substr(i, 1), static_cast<int64_t>(i) * 10);
        trickle.OnTime(static_cast<int64_t>(i) * 10);
    }
    EXPECT_EQ(trickle.CurrentPhase(), Phase::Reading);
    trickle.OnTime(trickle.Deadline());
    server.LookUp(trickle, trickle.Deadline());
    EXPECT_EQ(ParseAnswer(trickle.Reply(), kKey24, "GLV"), "EXIST");
    // Half-closing ends the request at once, and once the answer is out the session is done.
    Session halfClosed(server.core, 0);
    halfClosed.OnArrival(request, 1);
    halfClosed.OnPeerClosed(2);
    server.LookUp(halfClosed, 2);
    EXPECT_EQ(ParseAnswer(halfClosed.Reply(), kKey24, "GLV"), "EXIST");
    halfClosed.OnReplySent(3);
    EXPECT_EQ(halfClosed.CurrentPhase(), Phase::Done);
    Session silent(server.core, 0);  // a connection that says nothing is closed without a word
    silent.OnPeerClosed(5);
    EXPECT_EQ(silent.CurrentPhase(), Phase::Done);
}

TEST(VekService, RefusesAnythingButATokenAndAProductCodeAtOnce) {
    FakeServer server;
    auto raw = [](const std::string& plain, const std::string& key) { return Cipher(plain, key) + Cipher(key, ""); };
    for (const char* plain : {
             "tOkEnMaRkRT12a4GLVVD",   // token with a letter
             "tOkEnMaRkRX1234GLVVD",   // token without its T
             "tOkEnMaRkR..\\..GLVVD",  // a path instead of a token
             "tOkEnMaRkRT1234ZZZVD",   // unknown product code
             "tOkEnMaRkRT1234glvVD",   // code in the wrong case
             "tOkEnMaRkRT1234GLVXX",   // wrong tail
             "TOKENMARKRT1234GLVVD",   // wrong marker
             "tOkEnMaRkRT123GLVVD",    // four-character token
             "tOkEnMaRkRT12345GLVVD",  // six-character token
             "tOkEnMaRkRT1234VD",      // the empty code of X and O
         }) {
        EXPECT_EQ(AnswerBytes(server.core, raw(plain, kKey24)), kInvalidCommand) << plain;
        EXPECT_EQ(AnswerBytes(server.core, raw(plain, kKey30)), kInvalidCommand) << plain;
    }
    // A key that is not "dd " pieces of digit codes, too long a key, and plain noise.
    for (const std::string& key : {std::string("ab "), std::string("12 "), kKey30 + "84 "})
        EXPECT_EQ(AnswerBytes(server.core, raw("tOkEnMaRkRT1234GLVVD", key)), kInvalidCommand) << key;
    EXPECT_EQ(AnswerBytes(server.core, "GET / HTTP/1.0\r\n\r\n"), kInvalidCommand);
    EXPECT_EQ(AnswerBytes(server.core, std::string(4096, 'x')), kInvalidCommand);
    EXPECT_EQ(AnswerBytes(server.core, ""), "");
    EXPECT_TRUE(server.asked.empty());
    // Noise is refused as soon as it arrives, not at the time-out.
    Session noisy(server.core, 0);
    noisy.OnArrival(raw("tOkEnMaRkRT1234ZZZVD", kKey24), 0);
    EXPECT_EQ(noisy.CurrentPhase(), Phase::Replying);
    Session flood(server.core, 0);
    flood.OnArrival(std::string(30, '\x01'), 0);
    flood.OnArrival(std::string(30, '\x01'), 1);
    EXPECT_EQ(flood.Reply(), kInvalidCommand);
}

TEST(VekService, TimeOutsBoundEveryConnection) {
    FakeServer server;
    const std::string request = BuildRequest("T1234", "GLV", kKey24);
    // Half a request, then nothing: refused at the read time-out (the client's own 30 s), and let
    // go after the drain time.
    Session stalled(server.core, 0);
    stalled.OnArrival(request.substr(0, 10), 0);
    stalled.OnTime(29999);
    EXPECT_EQ(stalled.CurrentPhase(), Phase::Reading);
    stalled.OnTime(30000);
    EXPECT_EQ(stalled.Reply(), kInvalidCommand);
    stalled.OnTime(31000);
    EXPECT_EQ(stalled.CurrentPhase(), Phase::Done);
    // A trickle does not extend the time-out: it runs from the connection.
    Session slow(server.core, 0);
    for (int64_t t = 0; t < 30000; t += 1500) {
        slow.OnArrival(request.substr(0, 1), t);
        slow.OnTime(t);
    }
    slow.OnTime(30000);
    EXPECT_EQ(slow.CurrentPhase(), Phase::Replying);
    Session early(server.core, 0);  // nothing was answered yet: nothing was sent
    early.OnArrival(request.substr(0, 10), 0);
    early.OnReplySent(1);
    EXPECT_EQ(early.CurrentPhase(), Phase::Reading);
    Session idle(server.core, 0);  // nothing at all: closed, no answer
    idle.OnTime(30000);
    EXPECT_EQ(idle.CurrentPhase(), Phase::Done);
    // A lookup that does not come back in time answers as a failed one; its late result changes nothing.
    Session hung(server.core, 0);
    hung.OnArrival(request, 0);
    EXPECT_EQ(hung.Deadline(), 3000);
    hung.OnTime(3000);
    EXPECT_EQ(ParseAnswer(hung.Reply(), kKey24, "GLV"), "NOTEXIST");
    hung.OnChecked(BuildAnswer("GLV", true, kKey24), 3001);
    EXPECT_EQ(ParseAnswer(hung.Reply(), kKey24, "GLV"), "NOTEXIST");
}

TEST(VekService, PortDataDirectoryAndNativeSettings) {
    for (const auto& [text, port] : std::vector<std::pair<std::string, int>>{
             {"", 7070}, {"0", 7070}, {"7171", 7171}, {" 8080 ", 8080}, {"9000x", 9000}, {"abc", 7070}, {"70000", 7070}})
        EXPECT_EQ(ServicePortFromText(text), port) << text;
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

    posix::NativeOptions options;
    std::string error;
    for (const char* line : {"GLV=/srv/galvano", "  # comment", "port = 7171"})
        EXPECT_TRUE(posix::ApplySettingLine(line, options, error)) << line;
    EXPECT_EQ(options.dataByCode.at("GLV"), "/srv/galvano");
    EXPECT_EQ(options.host.port, 7171);
    for (const char* line : {"XYZ=/x", "GLV=", "port=70000", "just words"})
        EXPECT_FALSE(posix::ApplySettingLine(line, options, error)) << line;
    EXPECT_TRUE(posix::ParseNativeArguments({"--port", "0", "--data", "TRS=/srv/t", "--threads", "2"}, options, error));
    EXPECT_EQ(options.dataByCode.at("TRS"), "/srv/t");
    EXPECT_FALSE(posix::ParseNativeArguments({"--port"}, options, error));
    EXPECT_FALSE(posix::ParseNativeArguments({"--bogus", "1"}, options, error));
}

// Lookups of Tarsel's folder hang until the test lets them go, as on a share that does not answer.
struct HangingShare {
    std::counting_semaphore<64> entered{0};
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
};

// The epoll host on a free loopback port: answers whole and in pieces, cuts silent clients off, answers Galvano's
// checks while Tarsel's hang, and lets a check that hangs past its time answer as a failed one.
TEST(VekNativeHost, AnswersOverLoopbackWhileADataDirectoryHangs) {
    const auto dir = std::filesystem::temp_directory_path() / ("vek_host_test_" + std::to_string(::getpid()));
    for (const char* product : {"Galvano", "Tarsel"}) {
        std::filesystem::create_directories(dir / product);
        std::ofstream(dir / product / "T1234.txt") << "Test\r\n";
    }
    auto makeCore = [&](int64_t checkTimeoutMs, HangingShare& share) {
        return ServiceCore(
            [&](const ProductRow& p) -> std::optional<std::string> { return (dir / std::string(p.key)).string(); },
            [&](const std::string& d, const std::string& name) {
                if (d.find("Tarsel") != std::string::npos) {
                    share.entered.release();
                    share.released.wait();
                }
                return std::filesystem::exists(std::filesystem::path(d) / name);
            },
            ServiceLimits{500, 50, 500, checkTimeoutMs});
    };
    const posix::NativeHostOptions options{"127.0.0.1", 0, 2};
    const std::string slowRequest = BuildRequest("T1234", "TRS", kKey24);
    const std::string fastRequest = BuildRequest("T1234", "GLV", kKey24);
    std::string error, answer;
    {
        HangingShare share;
        const ServiceCore core = makeCore(60000, share);
        posix::NativeHost host(core, options);
        ASSERT_TRUE(host.Start(error)) << error;
        posix::IdleConnections idle;
        ASSERT_EQ(idle.Open(host.Port(), 20), 20u);
        const std::vector<std::string> pieces = {fastRequest.substr(0, 7), fastRequest.substr(7)};
        ASSERT_TRUE(posix::ExchangeOnce(host.Port(), pieces, 20, false, 3000, answer));
        EXPECT_EQ(ParseAnswer(answer, kKey24, "GLV"), "EXIST");
        ASSERT_TRUE(posix::ExchangeOnce(host.Port(), {std::string(200, 'A')}, 0, true, 3000, answer));
        EXPECT_EQ(answer, kInvalidCommand);
        // More hanging checks than one product may have under way, and Galvano's meanwhile.
        std::vector<std::string> slowAnswers(8);
        std::atomic<int> slowDone{0};
        std::vector<std::thread> slow;
        for (auto& got : slowAnswers)
            slow.emplace_back([&] {
                posix::ExchangeOnce(host.Port(), {slowRequest}, 0, false, 60000, got);
                ++slowDone;
            });
        share.entered.acquire();
        for (int i = 0; i < 6; ++i) {
            ASSERT_TRUE(posix::ExchangeOnce(host.Port(), {fastRequest}, 0, false, 60000, answer));
            EXPECT_EQ(ParseAnswer(answer, kKey24, "GLV"), "EXIST");
        }
        EXPECT_EQ(slowDone.load(), 0);
        share.release.set_value();
        for (auto& t : slow) t.join();
        for (const auto& got : slowAnswers) EXPECT_EQ(ParseAnswer(got, kKey24, "TRS"), "EXIST");
        // The silent ones are cut off by the read time-out, not kept for ever.
        for (int i = 0; i < 100 && idle.ClosedByPeer() < 20; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(30));
        EXPECT_EQ(idle.ClosedByPeer(), 20u);
        host.Stop();
    }
    {
        HangingShare share;
        const ServiceCore core = makeCore(100, share);
        posix::NativeHost host(core, options);
        ASSERT_TRUE(host.Start(error)) << error;
        ASSERT_TRUE(posix::ExchangeOnce(host.Port(), {slowRequest}, 0, false, 60000, answer));
        EXPECT_EQ(ParseAnswer(answer, kKey24, "TRS"), "NOTEXIST");  // answered while the lookup still hangs
        share.release.set_value();
        host.Stop();
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace updexar::vek

using namespace updexar;
using updexar::fakes::FakeTcpServer;

namespace {

constexpr auto HKLM = platform::RegRoot::LocalMachine;
constexpr auto HKCU = platform::RegRoot::CurrentUser;
const std::string kKey = "Software\\VEKInfo\\Galvano";
const std::string kData = "\\\\SERVER\\share\\Data\\Galvano";

struct Check : uitest::UiFixture {
    fakes::FakeTcpClient tcp;
    const UpdateSeams before = UpdateHooks();  // the update tests' hooks, given back at the end
    explicit Check(bool automatic = true, const std::string& server = "VEKSRV") {
        fake.Get().tcp = &tcp;
        OnShare("Galvano", automatic);
        Shared().ProductCode = "GAL";
        Shared().ProgramDir = kSharePkg;
        files.MakeFolders(kData);
        WriteRegValue(HKLM, kKey, "AppPath", RegKindText, kData + "\\");
        WriteRegValue(HKLM, kKey, "Server", RegKindText, server);
        WriteRegValue(HKLM, "Software\\VEKInfo", "SvrPort", RegKindText, "7070");
        InstallServerCheck();
        forms::Window<frmmain>();
    }
    ~Check() { UpdateHooks() = before; }
    // The version table the product's database is checked for.
    void VersionTable() { Shared().VerInfoTable = "VerInfo", Shared().ProductDbName = "galvano"; }
    // A service that answers whatever `answer` makes of this machine's key; none: it never takes the connection.
    void Service(std::function<std::vector<std::string>(const std::string& key)> answer) {
        FakeTcpServer server{answer ? FakeTcpServer::Accept::Yes : FakeTcpServer::Accept::Never, {}};
        if (answer) server.answer = [answer, key = vek::MachineKey(files.Drives())](const std::string&) { return answer(key); };
        tcp.AddServer("VEKSRV", 7070, server);
    }
    // The check as the update run makes it; the exit code when the run ended.
    std::optional<uint32_t> Run() { return Ended([] { UpdateHooks().checkServer(forms::Window<frmUpdate>()); }); }
    size_t TestFiles() {
        size_t n = 0;
        for (const std::string& f : files.ListFiles(kData)) n += f.size() == 9 && f[0] == 'T';
        return n;
    }
};

std::string Line(const std::string& text) { return "[START]\r\nError:CheckOnSvr:" + text + "\r\n[END]\r\n"; }

}  // namespace

TEST(ServerCheck, EveryAnswerOrSilenceOfTheServiceEndsAnUnattendedCheckItsOwnWay) {
    const std::string dir = "Software Data Directory [" + kData + "]";
    const std::string service = "Service [VEKSvrReg.Exe]";
    using Answers = std::vector<std::string>;
    const std::pair<std::function<Answers(const std::string& key)>, std::string> cases[] = {  // log; empty: confirmed
        {[](auto& key) { return Answers{vek::BuildAnswer("GAL", true, key)}; }, ""},
        {[](auto& key) {  // the answer in three pieces
             const std::string a = vek::BuildAnswer("GAL", true, key);
             return Answers{a.substr(0, 3), a.substr(3, 9), a.substr(12)};
         },
         ""},
        {[](auto& key) { return Answers{vek::BuildAnswer("GAL", false, key)}; },
         Line(dir + " could not be verified from the server")},
        {[](auto&) { return Answers{"INVALIDCOMMAND|0"}; }, Line("Old Version of " + service + " is running on Server")},
        {[](auto&) { return Answers{std::string("\0\xff garbage|", 11)}; }, Line("Failed to Verify " + dir + " from the server")},
        {[](auto&) { return Answers{}; }, Line("Connected to " + service + " but Failed to Retrieve Data")},
        {nullptr, Line("Can't Connect to " + service)},
    };
    for (const auto& [answer, log] : cases) {
        Check check;
        check.Service(answer);
        const std::optional<uint32_t> ended = check.Run();
        EXPECT_EQ(check.Log(), log);
        EXPECT_EQ(ended, log.empty() ? std::nullopt : std::optional<uint32_t>(ExitServerCheck)) << log;
        EXPECT_EQ(Shared().SvrCheckOk, log.empty()) << log;
        EXPECT_EQ(check.tcp.ConnectionCount(), 1u);
        EXPECT_EQ(check.TestFiles(), 0u) << log;
    }

    Check refused;  // a port where nothing listens: the socket error with its number
    EXPECT_EQ(refused.Run(), ExitServerCheck);
    EXPECT_EQ(refused.Log().rfind("[START]\r\nError:CheckOnSvr:Error Occured while Connecting to " + service + "-10061 : ", 0), 0u)
        << refused.Log();

    Check local(true, "ws01");  // this computer by name: no network, and the check passes
    EXPECT_EQ(local.Run(), std::nullopt);
    EXPECT_TRUE(Shared().SvrCheckOk);
    EXPECT_EQ(local.tcp.ConnectionCount(), 0u);
}

TEST(ServerCheck, TheDataDirectoryMustBeThereBeTheProductsAndTakeAFile) {
    {
        Check check;
        WriteRegValue(HKLM, kKey, "AppPath", RegKindText, kData + "X");
        check.files.MakeFolders(kData + "X");
        EXPECT_EQ(check.Run(), ExitServerCheck);
        EXPECT_EQ(check.Log(), Line("Data Path [" + kData + "X] is not correct"));
    }
    {
        Check check(false);
        WriteRegValue(HKLM, kKey, "AppPath", RegKindText, kData + "\\..\\Gone\\Galvano");
        bool ok = true;
        forms::Window<frmCheckOnSvr>().InitMe(false, ok);
        EXPECT_FALSE(ok);
        EXPECT_EQ(check.messages, (std::vector<std::string>{"Updexar|Data Path [" + kData + "\\..\\Gone\\Galvano] not found."}));
    }
    {
        Check check;
        check.files.InjectFault(fakes::Fault{kData + "\\TestGAL.TXT", 70});
        EXPECT_EQ(check.Run(), ExitServerCheck);
        EXPECT_EQ(check.Log(), Line("Data Path [" + kData + "] is Write-Protected"));
    }
}

TEST(ServerCheck, TheSettingsAreShownAndSavedAsText) {
    Check check(false);
    WriteRegValue(HKLM, "Software\\VEKInfo", "SvrPort", RegKindText, "0");
    WriteRegValue(HKLM, kKey, "Server", RegKindText, "");
    frmCheckOnSvr& f = forms::Window<frmCheckOnSvr>();
    bool ok = true;
    f.InitMe(true, ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(f.txtDataDir.Text(), kData);
    EXPECT_EQ(f.txtSvr.Text(), "localhost");
    EXPECT_EQ(f.txtPort.Text(), "7070");

    f.txtSvr.SetText("SRV2");
    f.txtPort.SetText("7071");
    f.chkThinCl.SetValue(1);
    check.registry.administrator = false;
    f.cmdsubmit_Click();
    ASSERT_EQ(check.messages.size(), 1u);
    EXPECT_NE(check.messages[0].find("(Run as Administrator)"), std::string::npos);
    EXPECT_EQ(ReadRegValue(HKCU, kKey, "Server", RegKindText, ""), "");  // nothing saved
    check.messages.clear();
    check.registry.administrator = true;
    f.cmdsubmit_Click();
    EXPECT_EQ(ReadRegValue(HKCU, kKey, "ThinClient", RegKindText, ""), "1");
    EXPECT_EQ(ReadRegValue(HKCU, kKey, "Server", RegKindText, ""), "SRV2");
    EXPECT_EQ(ReadRegValue(HKLM, "Software\\VEKInfo", "SvrPort", RegKindText, ""), "7071");
    EXPECT_EQ(ReadRegValue(HKLM, kKey, "DefVal", RegKindText, ""), "0");
    EXPECT_FALSE(f.Loaded());
    EXPECT_TRUE(check.messages.empty());
}

TEST(ServerCheck, AtTheDeskTheWaitCanBeRetriedLeftForTheSettingsOrCancelled) {
    Check check(false);
    check.Service([](auto&) { return std::vector<std::string>{}; });  // connects, never answers
    frmCheckOnSvr& f = forms::Window<frmCheckOnSvr>();
    bool ok = false;
    f.InitMe(false, ok);
    ASSERT_TRUE(ok);
    check.app.DoEvents();
    EXPECT_EQ(f.cmdsubmit.Caption(), "&Settings");
    EXPECT_TRUE(f.lblProg.Visible() && !f.famMain.Visible());  // the wait shows its progress, not the settings
    EXPECT_EQ(check.TestFiles(), 1u);

    check.answers = {"&Yes", "&No"};
    for (int tick = 0; tick < 2; ++tick) {
        check.clock.Advance(30000);
        check.app.DoEvents();
    }
    ASSERT_EQ(check.messages.size(), 2u);
    EXPECT_EQ(check.messages[0], check.messages[1]);
    EXPECT_NE(check.messages[0].find("but Failed to Retrieve Data.\r\n\r\nDo you want to Retry?"), std::string::npos);
    EXPECT_EQ(f.cmdsubmit.Caption(), "&Submit");  // back to the settings
    EXPECT_TRUE(f.famMain.Visible() && !f.lblProg.Visible());

    check.Service(nullptr);
    f.cmdsubmit.SetCaption("&Submit");
    f.InitMe(false, ok);  // the check again, and Settings during the wait
    f.cmdsubmit_Click();
    EXPECT_EQ(f.cmdsubmit.Caption(), "&Submit");
    check.clock.Advance(60000);
    check.app.DoEvents();
    EXPECT_EQ(check.messages.size(), 2u);  // the wait is over: no question comes

    fakes::HeadlessBackend::Key(f, 'C');
    EXPECT_TRUE(f.Loaded());
    fakes::HeadlessBackend::Key(f, forms::KeyEscape);  // Esc, and only Esc, cancels wherever the focus is
    EXPECT_FALSE(f.Loaded());
    EXPECT_EQ(check.TestFiles(), 0u);
    EXPECT_FALSE(Shared().SvrCheckOk);
}

TEST(ServerCheck, OnThisComputerTheVersionTableIsMendedWhenItDoesNotOpen) {
    {
        Check check(true, "localhost");
        check.VersionTable();
        check.fake.database.AddTable("VerInfo", fakes::FakeTable{false, {"REPAIR TABLE VerInfo EXTENDED"}});
        EXPECT_EQ(check.Run(), std::nullopt);
        EXPECT_TRUE(Shared().SvrCheckOk);  // a table that stays broken does not stop the update
        ASSERT_EQ(check.fake.database.connections.size(), 1u);
        EXPECT_EQ(check.fake.database.connections[0].text,
                  "PROVIDER=MSDASQL;driver={MySQL};server=localhost;uid=zolt;pwd=;database=galvano;port=3306;");
        EXPECT_LE(check.fake.database.connections[0].timeoutSeconds, 5);  // a server that is down holds nothing up
        EXPECT_EQ(check.fake.database.requests,
                  (std::vector<std::string>{"open VerInfo", "REPAIR TABLE VerInfo USE_FRM", "open VerInfo",
                                            "REPAIR TABLE VerInfo EXTENDED"}));
        EXPECT_EQ(check.fake.database.open, 0);
    }
    {  // The account of the installed server version; a port of 0 is left out.
        Check check(true, "WS01");
        check.VersionTable();
        WriteRegValue(HKLM, kKey, "MySqlVer", RegKindText, "5.1");
        WriteRegValue(HKLM, kKey, "Database", RegKindText, "galvano_2026");
        check.files.WriteAllText(Shared().SysDir + "\\VEKCONFIG.INI",
                                 "[MySql]\r\nUID_51=admin\r\nPWD_51=secret\r\nPort_51=0\r\nDriverVer_51=5.1\r\n");
        check.fake.database.AddTable("VerInfo");
        EXPECT_EQ(check.Run(), std::nullopt);
        ASSERT_EQ(check.fake.database.connections.size(), 1u);
        EXPECT_EQ(check.fake.database.connections[0].text,
                  "PROVIDER=MSDASQL;driver={MySQL ODBC 5.1 Driver};server=WS01;uid=admin;pwd=secret;database=galvano_2026;");
        EXPECT_EQ(check.fake.database.requests, (std::vector<std::string>{"open VerInfo"}));
    }
    {  // Another product's database is not touched.
        Check check(true, "localhost");
        check.VersionTable();
        WriteRegValue(HKLM, kKey, "Database", RegKindText, "tarsel");
        EXPECT_EQ(check.Run(), std::nullopt);
        EXPECT_TRUE(check.fake.database.connections.empty());
    }
}
