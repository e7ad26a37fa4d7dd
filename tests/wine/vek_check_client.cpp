// vek_check_client.exe HOST PORT CODE TOKEN [SPLIT_MS [IDLE]]
// vek_check_client.exe HOST PORT CODE TOKEN --meanwhile CODE TOKEN [CODE TOKEN]...
// One data-directory check against a VEK service, as the client window makes it: the machine key
// from this computer's drives, the request for TOKEN and product CODE, one connection. Prints
// "state: <EXIST|NOTEXIST|NOUPD|-1|>" and, for an answer that is not enciphered, "raw: <answer>".
// With SPLIT_MS (-1: none) the request goes out in two pieces that far apart; with IDLE, that many
// other connections are opened first and say nothing while the check runs. With --meanwhile, the
// other checks are made one after the other once the first request is out, and each prints
// "meanwhile CODE TOKEN: <state>, first <waiting|answered>": whether the first had its answer
// by the time this one had. Exit code 0 when an answer came.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "server/vek_protocol.h"
#include "win32/win32_platform.h"

using namespace updexar;

namespace {

SOCKET Connect(const addrinfo& to) {
    const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    DWORD timeout = 15000;
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    if (connect(s, to.ai_addr, static_cast<int>(to.ai_addrlen)) != 0) {
        std::printf("error: connect %d\n", WSAGetLastError());
        std::exit(5);
    }
    return s;
}

// Everything until the service closes.
std::string ReadAnswer(SOCKET s) {
    std::string answer;
    char buffer[512];
    for (;;) {
        const int got = recv(s, buffer, sizeof buffer, 0);
        if (got <= 0) break;
        answer.append(buffer, static_cast<size_t>(got));
    }
    closesocket(s);
    return answer;
}

// Whether anything (an answer or the close) has come on the socket, without waiting.
bool Answered(SOCKET s) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval now{0, 0};
    return select(0, &readable, nullptr, nullptr, &now) > 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::printf("usage: vek_check_client HOST PORT CODE TOKEN [SPLIT_MS [IDLE [WAIT_MS]] | --meanwhile CODE TOKEN...]\n");
        return 2;
    }
    const std::string host = argv[1];
    const std::string port = argv[2];
    const std::string code = argv[3];
    const std::string token = argv[4];
    const bool meanwhile = argc > 5 && std::strcmp(argv[5], "--meanwhile") == 0;
    const int splitMs = argc > 5 && !meanwhile ? std::atoi(argv[5]) : -1;
    const int idleCount = argc > 6 && !meanwhile ? std::atoi(argv[6]) : 0;

    platform::Platform& os = win32::Win32Platform();
    const std::string key = vek::MachineKey(os.files->Drives());
    const std::string request = vek::BuildRequest(token, code, key);

    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return 3;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0 || !found) {
        std::printf("error: cannot resolve %s\n", host.c_str());
        return 4;
    }
    std::vector<SOCKET> idle;
    for (int i = 0; i < idleCount; ++i) {
        const SOCKET quiet = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (connect(quiet, found->ai_addr, static_cast<int>(found->ai_addrlen)) != 0) {
            closesocket(quiet);
            break;
        }
        idle.push_back(quiet);
    }
    if (idleCount > 0) std::printf("idle connections: %u\n", static_cast<unsigned>(idle.size()));
    const SOCKET s = Connect(*found);
    if (splitMs >= 0) {
        send(s, request.data(), 9, 0);
        Sleep(static_cast<DWORD>(splitMs));
        send(s, request.data() + 9, static_cast<int>(request.size() - 9), 0);
    } else {
        send(s, request.data(), static_cast<int>(request.size()), 0);
    }
    for (int i = 6; meanwhile && i + 1 < argc; i += 2) {
        const SOCKET other = Connect(*found);
        const std::string otherRequest = vek::BuildRequest(argv[i + 1], argv[i], key);
        send(other, otherRequest.data(), static_cast<int>(otherRequest.size()), 0);
        const std::string state = vek::ParseAnswer(ReadAnswer(other), key, argv[i]);
        std::printf("meanwhile %s %s: %s, first %s\n", argv[i], argv[i + 1], state.c_str(),
                    Answered(s) ? "answered" : "waiting");
        std::fflush(stdout);
    }
    const std::string answer = ReadAnswer(s);
    if (argc > 7 && !meanwhile) {  // how many of the idle connections the service closes within WAIT_MS
        const DWORD until = GetTickCount() + static_cast<DWORD>(std::atoi(argv[7]));
        int closed = 0;
        for (SOCKET quiet : idle) {
            const DWORD now = GetTickCount(), left = now < until ? until - now : 1;
            setsockopt(quiet, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&left), sizeof left);
            char byte;
            const int got = recv(quiet, &byte, 1, 0);
            closed += got == 0 || (got < 0 && WSAGetLastError() != WSAETIMEDOUT);
        }
        std::printf("idle connections closed: %d\n", closed);
    }
    freeaddrinfo(found);
    for (SOCKET quiet : idle) closesocket(quiet);
    WSACleanup();
    std::printf("key length: %u\n", static_cast<unsigned>(key.size()));
    std::printf("state: %s\n", vek::ParseAnswer(answer, key, code).c_str());
    if (answer == vek::kInvalidCommand) std::printf("raw: %s\n", answer.c_str());
    std::fflush(stdout);
    return answer.empty() ? 1 : 0;
}
