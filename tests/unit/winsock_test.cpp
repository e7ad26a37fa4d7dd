#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "contract/contract_util.h"
#include "fakes/fake_platform.h"
#include "fakes/fake_tcp.h"
#include "fakes/headless_backend.h"
#include "forms/application.h"
#include "forms/winsock.h"
#include "platform/errors.h"

using namespace updexar;
using namespace updexar::forms;
using contract::ErrorOf;
using fakes::FakeTcpClient;
using fakes::FakeTcpServer;

namespace {

using Log = std::vector<std::string>;

// A window with one TCP control whose handlers write what they see into a log that outlives
// the window.
class frmSock : public Form {
public:
    explicit frmSock(std::shared_ptr<Log> log) : Form("frmSock"), sock(Add<Winsock>("Winsock1")), log_(std::move(log)) {
        sock.Connected = [this] {
            Note("connected");
            if (!request.empty()) sock.SendData(request);
        };
        sock.DataArrival = [this](long bytesTotal) {
            Note("data " + std::to_string(bytesTotal));
            if (readOnArrival) {
                std::string text;
                sock.GetData(text);
                got += text;
            }
        };
        sock.Error = [this](int number, const std::string& description) {
            Note("error " + std::to_string(number) + " " + description);
        };
        sock.PeerClosed = [this] { Note("closed"); };
    }

    Winsock& sock;
    std::string request;
    bool readOnArrival = false;
    std::string got;

private:
    void Note(std::string what) {
        if (std::this_thread::get_id() != ui_) what += " (off the UI thread)";
        log_->push_back(what);
    }
    std::shared_ptr<Log> log_;
    std::thread::id ui_ = std::this_thread::get_id();
};

struct SockFixture {
    fakes::FakePlatform fake;
    fakes::ScopedPlatform installed{fake};
    FakeTcpClient tcp;
    fakes::HeadlessBackend backend;
    Application app{backend, fake.clock};
    std::shared_ptr<Log> log = std::make_shared<Log>();

    SockFixture() { fake.Get().tcp = &tcp; }

    std::unique_ptr<frmSock> MakeForm() { return std::make_unique<frmSock>(log); }
    // Events raised by handlers are posted in turn; a few rounds deliver those too.
    void Settle() {
        for (int i = 0; i < 4; ++i) app.DoEvents();
    }
};

}  // namespace

TEST(Winsock, EventsArriveThroughTheLoopOnTheUserInterfaceThreadInOrder) {
    SockFixture f;
    FakeTcpServer server;
    server.answer = [](const std::string& received) {
        return received == "HELLO" ? std::vector<std::string>{"ab", "cd"} : std::vector<std::string>{};
    };
    server.closeAfterAnswer = true;
    f.tcp.AddServer("vekserver", 7070, server);
    auto form = f.MakeForm();
    Winsock& sock = form->sock;
    form->request = "HELLO";

    sock.Connect("VEKSERVER", 7070);
    EXPECT_EQ(sock.RemoteHost, "VEKSERVER");
    EXPECT_EQ(sock.RemotePort, 7070);
    // The connection is made already, but nothing is raised until the loop runs.
    EXPECT_EQ(sock.State(), SckConnecting);
    EXPECT_TRUE(f.log->empty());

    f.app.DoEvents();
    EXPECT_EQ(*f.log, (Log{"connected"}));
    EXPECT_EQ(sock.State(), SckConnected);
    // The request went out from the Connected handler; the answer waits for the next turn.
    EXPECT_EQ(f.tcp.Received(0), "HELLO");

    f.Settle();
    EXPECT_EQ(*f.log, (Log{"connected", "data 2", "data 4", "closed"}));
    EXPECT_EQ(sock.State(), SckClosing);
    std::string text;
    sock.GetData(text);
    EXPECT_EQ(text, "abcd");

    sock.Close();
    EXPECT_EQ(sock.State(), SckClosed);
    EXPECT_TRUE(f.tcp.ClosedByClient(0));
    // Connect again with the properties as they stand.
    sock.Connect();
    EXPECT_EQ(f.tcp.ConnectionCount(), 2u);
    EXPECT_EQ(f.tcp.Host(1), "VEKSERVER");
    EXPECT_EQ(f.tcp.Port(1), 7070);
}

TEST(Winsock, GetDataTakesEverythingThatArrivedSinceTheLastRead) {
    SockFixture f;
    FakeTcpServer server;
    server.accept = FakeTcpServer::Accept::Never;
    f.tcp.AddServer("10.0.0.5", 7070, server);
    auto form = f.MakeForm();
    Winsock& sock = form->sock;

    sock.Connect("10.0.0.5", 7070);
    f.Settle();
    EXPECT_EQ(sock.State(), SckConnecting);
    EXPECT_TRUE(f.log->empty());

    f.tcp.Accept(0);
    f.tcp.Answer(0, "one|");
    f.tcp.Answer(0, "two|");
    f.Settle();
    f.tcp.Answer(0, "three");
    f.Settle();
    // bytesTotal counts what waits to be read, earlier arrivals included.
    EXPECT_EQ(*f.log, (Log{"connected", "data 4", "data 8", "data 13"}));
    EXPECT_EQ(sock.BytesReceived(), 13);
    std::string text;
    sock.GetData(text);
    EXPECT_EQ(text, "one|two|three");
    EXPECT_EQ(sock.BytesReceived(), 0);
    sock.GetData(text);
    EXPECT_EQ(text, "");

    // A handler that reads at each arrival sees each piece once.
    form->readOnArrival = true;
    f.tcp.Answer(0, "four");
    f.tcp.Answer(0, "five");
    f.Settle();
    EXPECT_EQ(form->got, "fourfive");
}

TEST(Winsock, NothingOfAClosedConnectionOrAReleasedWindowIsRaised) {
    SockFixture f;
    FakeTcpServer quick;
    quick.answer = [](const std::string&) { return std::vector<std::string>{"late answer"}; };
    f.tcp.AddServer("fast", 1, quick);
    FakeTcpServer slow;
    slow.accept = FakeTcpServer::Accept::Never;
    f.tcp.AddServer("slow", 2, slow);

    // Connected is on its way when Close comes: it is dropped.
    auto form = f.MakeForm();
    form->sock.Connect("fast", 1);
    form->sock.Close();
    f.Settle();
    EXPECT_TRUE(f.log->empty());
    EXPECT_EQ(form->sock.State(), SckClosed);

    // Closed while still connecting: a late accept reaches nobody.
    form->sock.Connect("slow", 2);
    form->sock.Close();
    f.tcp.Accept(1);
    f.tcp.Answer(1, "x");
    f.Settle();
    EXPECT_TRUE(f.log->empty());

    // Events of the previous connection do not leak into the next one, still connecting.
    form->sock.Connect("slow", 2);
    f.tcp.Accept(2);
    form->sock.Close();
    form->sock.Connect("slow", 2);
    f.Settle();
    EXPECT_TRUE(f.log->empty());
    EXPECT_EQ(form->sock.State(), SckConnecting);
    f.tcp.Accept(3);
    f.Settle();
    EXPECT_EQ(*f.log, (Log{"connected"}));
    form->sock.Close();

    // A window released with an answer in the queue: the answer is dropped with it.
    form->sock.Connect("fast", 1);
    f.Settle();
    form->sock.SendData("request");
    form.reset();
    f.Settle();
    EXPECT_EQ(*f.log, (Log{"connected", "connected"}));
    EXPECT_TRUE(f.tcp.ClosedByClient(4));
}

TEST(Winsock, AnErrorIsRaisedOnceAndLeavesTheErrorStateUntilCloseAndMisuseIsANumberedError) {
    SockFixture f;
    f.tcp.AddHost("server");
    FakeTcpServer resetting;
    resetting.errorOnSend = 10054;
    f.tcp.AddServer("server", 7070, resetting);
    auto form = f.MakeForm();
    Winsock& sock = form->sock;

    sock.Connect("nowhere", 7070);
    f.Settle();
    EXPECT_EQ(*f.log, (Log{"error 11001 Authoritative answer: Host not found"}));
    EXPECT_EQ(sock.State(), SckError);
    // Only a closed control connects.
    EXPECT_EQ(ErrorOf([&] { sock.Connect("server", 7070); }), 40020);
    sock.Close();

    f.log->clear();
    sock.Connect("server", 7071);
    f.tcp.Fail(1, 10053);  // after the refusal: nothing more comes
    f.Settle();
    EXPECT_EQ(*f.log, (Log{"error 10061 Connection is forcefully rejected"}));
    sock.Close();

    f.log->clear();
    form->request = "HELLO";
    sock.Connect("server", 7070);
    f.Settle();
    f.tcp.Fail(2, 10060);
    f.Settle();
    EXPECT_EQ(*f.log, (Log{"connected", "error 10054 The connection is reset by remote side"}));
    EXPECT_EQ(sock.State(), SckError);
    EXPECT_EQ(ErrorOf([&] { sock.SendData("more"); }), 40006);

    // Misuse of a closed control.
    sock.Close();
    EXPECT_EQ(ErrorOf([&] { sock.SendData("too early"); }), 40006);
    EXPECT_EQ(ErrorOf([&] { sock.Connect("host", 65536); }), 40021);
    EXPECT_EQ(ErrorOf([&] { sock.Connect("host", -1); }), 40021);
    EXPECT_EQ(sock.State(), SckClosed);
    sock.Close();  // closing a closed control is harmless

    f.fake.Get().tcp = nullptr;
    EXPECT_EQ(ErrorOf([&] { sock.Connect("host", 7070); }), ErrCantCreateObject);
    EXPECT_EQ(sock.State(), SckClosed);
}

TEST(Winsock, TextTravelsInTheAnsiCodePage) {
    SockFixture f;
    FakeTcpServer echo;
    echo.answer = [](const std::string& received) { return std::vector<std::string>{"[" + received + "]"}; };
    f.tcp.AddServer("echo", 7, echo);
    auto form = f.MakeForm();
    Winsock& sock = form->sock;
    form->request = "Café 5€";

    sock.Connect("echo", 7);
    f.Settle();
    EXPECT_EQ(f.tcp.Received(0), "Caf\xE9 5\x80");
    // "[" + 7 bytes + "]": bytes on the wire, not UTF-8 characters.
    EXPECT_EQ(*f.log, (Log{"connected", "data 9"}));
    std::string text;
    sock.GetData(text);
    EXPECT_EQ(text, "[Café 5€]");
}
