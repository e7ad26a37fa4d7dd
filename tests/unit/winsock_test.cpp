// The TCP control's rules that the server check leans on beyond what its own tests play: nothing
// of a closed connection or a released window is raised, an error comes once and holds until
// Close, misuse is a numbered error, and text travels in the ANSI code page.
#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "contract/contract_util.h"
#include "fakes/fake_tcp.h"
#include "forms/winsock.h"
#include "ui_fixture.h"

using namespace updexar;
using namespace updexar::forms;
using contract::ErrorOf;
using fakes::FakeTcpServer;

namespace {

using Log = std::vector<std::string>;

// A window with one TCP control whose handlers write what they see into a log that outlives it.
class frmSock : public Form {
public:
    explicit frmSock(std::shared_ptr<Log> log) : Form("frmSock"), sock(Add<Winsock>("Winsock1")), log_(log) {
        sock.Connected = [this] {
            Note("connected");
            if (!request.empty()) sock.SendData(request);
        };
        sock.DataArrival = [this](long bytesTotal) { Note("data " + std::to_string(bytesTotal)); };
        sock.Error = [this](int number, const std::string& text) {
            Note("error " + std::to_string(number) + " " + text);
        };
        sock.PeerClosed = [this] { Note("closed"); };
    }
    Winsock& sock;
    std::string request;

private:
    void Note(std::string what) {
        if (std::this_thread::get_id() != ui_) what += " (off the UI thread)";
        log_->push_back(what);
    }
    std::shared_ptr<Log> log_;
    std::thread::id ui_ = std::this_thread::get_id();
};

struct Sock : uitest::UiFixture {
    fakes::FakeTcpClient tcp;
    std::shared_ptr<Log> log = std::make_shared<Log>();
    std::unique_ptr<frmSock> form = std::make_unique<frmSock>(log);
    Sock() { fake.Get().tcp = &tcp; }
    // Events raised by handlers are posted in turn; a few rounds deliver those too.
    void Settle() {
        for (int i = 0; i < 4; ++i) app.DoEvents();
    }
};

}  // namespace

TEST(Winsock, NothingOfAClosedConnectionOrAReleasedWindowIsRaised) {
    Sock f;
    FakeTcpServer quick;
    quick.answer = [](const std::string&) { return std::vector<std::string>{"late answer"}; };
    f.tcp.AddServer("fast", 1, quick);
    FakeTcpServer slow;
    slow.accept = FakeTcpServer::Accept::Never;
    f.tcp.AddServer("slow", 2, slow);
    Winsock& sock = f.form->sock;

    sock.Connect("fast", 1);  // Connected is on its way when Close comes
    sock.Close();
    sock.Connect("slow", 2);  // closed while still connecting: a late accept reaches nobody
    sock.Close();
    f.tcp.Accept(1);
    f.tcp.Answer(1, "x");
    f.Settle();
    EXPECT_TRUE(f.log->empty());

    // Events of the previous connection do not leak into the next one, still connecting.
    sock.Connect("slow", 2);
    f.tcp.Accept(2);
    sock.Close();
    sock.Connect("slow", 2);
    f.Settle();
    EXPECT_EQ(sock.State(), SckConnecting);
    f.tcp.Accept(3);
    f.Settle();
    EXPECT_EQ(*f.log, (Log{"connected"}));
    sock.Close();

    // A window released with an answer in the queue: the answer is dropped with it.
    sock.Connect("fast", 1);
    f.Settle();
    sock.SendData("request");
    f.form.reset();
    f.Settle();
    EXPECT_EQ(*f.log, (Log{"connected", "connected"}));
    EXPECT_TRUE(f.tcp.ClosedByClient(4));
}

TEST(Winsock, AnErrorComesOnceAndHoldsUntilCloseMisuseIsNumberedAndTextIsAnsi) {
    Sock f;
    FakeTcpServer resetting;
    resetting.errorOnSend = 10054;
    f.tcp.AddServer("server", 7070, resetting);
    FakeTcpServer echo;
    echo.answer = [](const std::string& received) { return std::vector<std::string>{"[" + received + "]"}; };
    f.tcp.AddServer("echo", 7, echo);
    Winsock& sock = f.form->sock;

    sock.Connect("nowhere", 7070);
    f.Settle();
    EXPECT_EQ(*f.log, (Log{"error 11001 Authoritative answer: Host not found"}));
    EXPECT_EQ(sock.State(), SckError);
    EXPECT_EQ(ErrorOf([&] { sock.Connect("server", 7070); }), 40020);  // only a closed control connects
    sock.Close();

    f.log->clear();
    sock.Connect("server", 7071);
    f.tcp.Fail(1, 10053);  // after the refusal nothing more comes
    f.Settle();
    EXPECT_EQ(*f.log, (Log{"error 10061 Connection is forcefully rejected"}));
    sock.Close();

    f.log->clear();
    f.form->request = "HELLO";
    sock.Connect("server", 7070);
    f.Settle();
    f.tcp.Fail(2, 10060);
    f.Settle();
    EXPECT_EQ(*f.log, (Log{"connected", "error 10054 The connection is reset by remote side"}));
    EXPECT_EQ(ErrorOf([&] { sock.SendData("more"); }), 40006);
    sock.Close();
    EXPECT_EQ(ErrorOf([&] { sock.SendData("too early"); }), 40006);
    EXPECT_EQ(ErrorOf([&] { sock.Connect("host", 65536); }), 40021);
    EXPECT_EQ(ErrorOf([&] { sock.Connect("host", -1); }), 40021);
    sock.Close();  // closing a closed control is harmless

    // "[" + 7 bytes + "]": bytes on the wire, not UTF-8 characters.
    f.log->clear();
    f.form->request = "Café 5€";
    sock.Connect("echo", 7);
    f.Settle();
    EXPECT_EQ(f.tcp.Received(3), "Caf\xE9 5\x80");
    EXPECT_EQ(*f.log, (Log{"connected", "data 9"}));
    std::string text;
    sock.GetData(text);
    EXPECT_EQ(text, "[Café 5€]");
    sock.Close();

    f.fake.Get().tcp = nullptr;
    EXPECT_EQ(ErrorOf([&] { sock.Connect("host", 7070); }), ErrCantCreateObject);
    EXPECT_EQ(sock.State(), SckClosed);
}
