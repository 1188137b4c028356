// The least any program can spend on the live view's exchanges: every 10 ms, a sleep until the
// tick, then the two live-value requests to orvex-emulator on a blocking socket, nothing else.
// bench/run --compare holds orvex-config's steady figure against this floor.
//
//   orvex-bench-floor SOCKET SECONDS      prints the processor use, % of one core

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// One request line and its reply, into `reply` (null-terminated).
bool exchange(int socket, const char *request, char (&reply)[256])
{
    if (::send(socket, request, std::strlen(request), 0) <= 0)
        return false;
    const ssize_t received = ::recv(socket, reply, sizeof reply - 1, 0);
    reply[received > 0 ? received : 0] = '\0';
    return received > 0;
}

void addTenMilliseconds(timespec &time)
{
    time.tv_nsec += 10'000'000;
    if (time.tv_nsec >= 1'000'000'000) {
        time.tv_nsec -= 1'000'000'000;
        ++time.tv_sec;
    }
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: orvex-bench-floor SOCKET SECONDS\n");
        return 2;
    }
    const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, argv[1], sizeof address.sun_path - 1);
    char reply[256];
    int handle = 0;
    if (::connect(socket, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        !exchange(socket, "OPEN 6148\n", reply) || std::sscanf(reply, "OK %d", &handle) != 1) {
        std::fprintf(stderr, "orvex-bench-floor: %s: no device to open\n", argv[1]);
        return 1;
    }
    char low[64], high[64];
    std::snprintf(low, sizeof low, "XFER %d 018220000000\n", handle);
    std::snprintf(high, sizeof high, "XFER %d 018220010000\n", handle);
    const int seconds = std::atoi(argv[2]);
    timespec tick{};
    clock_gettime(CLOCK_MONOTONIC, &tick);
    for (int ticks = 0; ticks < 100 * seconds; ++ticks) {
        addTenMilliseconds(tick);
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &tick, nullptr);
        if (!exchange(socket, low, reply) || !exchange(socket, high, reply))
            return 1;
    }
    timespec used{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
    std::printf("%.3f\n",
                100.0 * (static_cast<double>(used.tv_sec) + used.tv_nsec / 1e9) / seconds);
    return 0;
}
