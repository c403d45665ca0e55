// Helpers of the connection window tests.
#include "tests/app/form1_fixture.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>

namespace form1test {

int closedLocalPort() {
    // Bind to a free port and let it go again: nothing listens there afterwards.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        throw std::runtime_error("no free local port");
    ::close(fd);
    return ntohs(addr.sin_port);
}

QString Form1Test::existingFile() const {
    const auto path = dir.path() / "shop.mdb";
    std::ofstream(path) << "x";
    return qpath(path);
}

}  // namespace form1test
