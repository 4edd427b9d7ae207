// The controller board in the AVR simulator: loads a firmware .elf into simavr's ATmega328P at
// 16 MHz, joins its UART to a pseudo-terminal that a program opens like a serial port, and
// records what the board does as an event file, one event a line, with the cycle it happened
// at (16 000 000 a second):
//   line C TEXT      a line ended by ";" went into the UART (TEXT without ";")
//   reply C TEXT     the board sent a line (TEXT without CR LF)
//   step C A D       a step pulse on axis A (x, y, z), D the direction pin (+ or -)
//   power C L        the spindle/laser pin changed to level L (0, 1)
//   probe C L        the simulator set the probe input to L (0 closed, 1 open)
//   limit C A L      the simulator set the limit input of axis A to L
// Usage: board_sim FIRMWARE.elf EVENTS [--surface] [--limit A,P]
//   --surface    the probe input closes while Z is at or below -SurfaceDepth(x, y)
//   --limit A,P  the limit input of axis A closes while its position is at or beyond P
//                (P > 0: at or above P; P < 0: at or below P)
// It prints the pseudo-terminal's path on the first line of standard output, runs the board in
// step with the clock (never ahead of it), and ends at SIGTERM or SIGINT, printing the step
// counts per axis and direction on standard error.
//
// simavr 1.6 quirks that the firmware and this program live with: a CTC timer whose compare
// value is still 0 is never armed; the EEPROM's erase-only and write-only modes are not modelled
// (write whole bytes); a fast PWM compare of 255 gives no output at all; input pins read 0 until
// something drives them, so every switch input is driven open at the start; a low INT0 or INT1
// pin in the low-level sense mode (the reset's) is polled at every cycle, even masked, so the
// firmware selects edge sensing before its step pins go low.

#include <avr_ioport.h>
#include <avr_uart.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sim_avr.h>
#include <sim_elf.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <optional>
#include <string>

#include "Surface.h"

namespace {

constexpr std::uint64_t kFrequency = 16000000;
// Cycles run between looks at the pseudo-terminal and the clock: 0.5 ms of the board.
constexpr std::uint64_t kSlice = 8000;

volatile sig_atomic_t g_stop = 0;

void onSignal(int) {
    g_stop = 1;
}

// Only simavr's errors are worth showing; its chatter would mix with the device path.
void quietLogger(avr_t*, const int level, const char* format, va_list ap) {
    if (level <= LOG_ERROR) std::vfprintf(stderr, format, ap);
}

std::uint64_t nowNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return std::uint64_t(t.tv_sec) * 1000000000ull + std::uint64_t(t.tv_nsec);
}

struct Limit {
    int axis;
    long position;
};

class Board {
public:
    Board(avr_t* avr, std::FILE* events, bool surface, std::optional<Limit> limit)
        : m_avr(avr), m_events(events), m_surface(surface), m_limit(limit) {}

    bool openPty(std::string* path) {
        termios raw{};
        cfmakeraw(&raw);
        if (openpty(&m_master, &m_slave, nullptr, &raw, nullptr) != 0) return false;
        fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
        char name[256] = {};
        ptsname_r(m_master, name, sizeof name);
        *path = name;
        return true;
    }

    void wire() {
        std::uint32_t flags = 0;
        avr_ioctl(m_avr, AVR_IOCTL_UART_GET_FLAGS('0'), &flags);
        flags &= ~(AVR_UART_FLAG_STDIO | AVR_UART_FLAG_POLL_SLEEP);
        avr_ioctl(m_avr, AVR_IOCTL_UART_SET_FLAGS('0'), &flags);
        notify<&Board::onByte>(uart(UART_IRQ_OUTPUT));
        notify<&Board::onXon>(uart(UART_IRQ_OUT_XON));
        notify<&Board::onXoff>(uart(UART_IRQ_OUT_XOFF));
        m_uartIn = uart(UART_IRQ_INPUT);
        notify<&Board::onStep<0>>(pin('D', 2));
        notify<&Board::onStep<1>>(pin('D', 3));
        notify<&Board::onStep<2>>(pin('D', 4));
        notify<&Board::onPower>(pin('B', 3));
        for (int axis = 0; axis < 3; ++axis) {
            m_limitPin[axis] = pin('B', kLimitBits[axis]);
            setInput(m_limitPin[axis], 1);
        }
        m_probePin = pin('C', 5);
        setInput(m_probePin, 1);
        // Run flat out while the board sleeps; run() keeps it in step with the clock.
        m_avr->sleep = [](avr_t*, avr_cycle_count_t) {};
    }

    // Runs until a signal; false when the simulated chip crashed.
    bool run() {
        const std::uint64_t start = nowNs();
        while (!g_stop) {
            const std::uint64_t until = m_avr->cycle + kSlice;
            while (m_avr->cycle < until) {
                const int state = avr_run(m_avr);
                if (state == cpu_Done || state == cpu_Crashed) return false;
            }
            const std::uint64_t boardNs = m_avr->cycle * 1000000000ull / kFrequency;
            const std::uint64_t wallNs = nowNs() - start;
            const int aheadMs = boardNs > wallNs ? int((boardNs - wallNs) / 1000000) : 0;
            pollfd fd{m_master, POLLIN, 0};
            if (poll(&fd, 1, aheadMs) > 0 && (fd.revents & POLLIN)) readPty();
            feedUart();
        }
        return true;
    }

    void printCounts() const {
        for (int axis = 0; axis < 3; ++axis)
            std::fprintf(stderr, "%c +%ld -%ld\n", 'x' + axis, m_count[axis][1], m_count[axis][0]);
    }

    // At the end: a reply whose text was sent but whose line end was still on the wire when
    // the simulation stopped (cnc goes on at "OK" and may end before the CR LF).
    void finishReply() {
        if (!m_replyText.empty())
            std::fprintf(m_events, "reply %llu %s\n", cycle(), m_replyText.c_str());
        m_replyText.clear();
    }

private:
    using Callback = void (Board::*)(std::uint32_t);
    static constexpr std::array<int, 3> kLimitBits = {1, 2, 4};

    avr_irq_t* uart(int irq) { return avr_io_getirq(m_avr, AVR_IOCTL_UART_GETIRQ('0'), irq); }
    avr_irq_t* pin(char port, int bit) {
        return avr_io_getirq(m_avr, AVR_IOCTL_IOPORT_GETIRQ(port), bit);
    }

    template <Callback callback>
    static void trampoline(avr_irq_t*, std::uint32_t value, void* board) {
        (static_cast<Board*>(board)->*callback)(value);
    }

    template <Callback callback>
    void notify(avr_irq_t* irq) {
        avr_irq_register_notify(irq, &trampoline<callback>, this);
    }

    void setInput(avr_irq_t* irq, int level) { avr_raise_irq(irq, std::uint32_t(level)); }

    void readPty() {
        char chunk[256];
        for (;;) {
            const ssize_t n = read(m_master, chunk, sizeof chunk);
            if (n <= 0) return;
            m_pending.insert(m_pending.end(), chunk, chunk + n);
        }
    }

    void feedUart() {
        while (!m_xoff && !m_pending.empty()) {
            const char byte = m_pending.front();
            m_pending.pop_front();
            if (byte == ';') {
                std::fprintf(m_events, "line %llu %s\n", cycle(), m_lineText.c_str());
                m_lineText.clear();
            } else if (byte != '\r' && byte != '\n') {
                m_lineText += byte;
            }
            avr_raise_irq(m_uartIn, std::uint8_t(byte));
        }
    }

    void onByte(std::uint32_t value) {
        const char byte = char(value);
        while (write(m_master, &byte, 1) < 0 && errno == EAGAIN) usleep(100);
        if (byte == '\n') {
            std::fprintf(m_events, "reply %llu %s\n", cycle(), m_replyText.c_str());
            m_replyText.clear();
        } else if (byte != '\r') {
            m_replyText += byte;
        }
    }
    void onXon(std::uint32_t) {
        m_xoff = false;
        feedUart();
    }
    void onXoff(std::uint32_t) { m_xoff = true; }

    void onPower(std::uint32_t level) {
        if (int(level) == m_power) return;
        m_power = int(level);
        std::fprintf(m_events, "power %llu %d\n", cycle(), m_power);
    }

    template <int axis>
    void onStep(std::uint32_t level) {
        const bool high = level != 0;
        const bool rising = high && !m_stepHigh[axis];
        m_stepHigh[axis] = high;
        if (!rising) return;
        const bool positive = m_avr->data[0x2B] & (1 << (5 + axis));  // PORTD's direction bits
        m_position[axis] += positive ? 1 : -1;
        ++m_count[axis][positive ? 1 : 0];
        std::fprintf(m_events, "step %llu %c %c\n", cycle(), 'x' + axis, positive ? '+' : '-');
        updateSwitches();
    }

    void updateSwitches() {
        if (m_surface) {
            const double depth = SurfaceDepth(double(m_position[0]), double(m_position[1]));
            setSwitch(m_probePin, m_probe, double(m_position[2]) <= -depth ? 0 : 1, "probe", -1);
        }
        if (m_limit) {
            const long at = m_position[m_limit->axis];
            const bool closed =
                m_limit->position > 0 ? at >= m_limit->position : at <= m_limit->position;
            setSwitch(m_limitPin[m_limit->axis], m_limitLevel, closed ? 0 : 1, "limit",
                      m_limit->axis);
        }
    }

    void setSwitch(avr_irq_t* irq, int& current, int level, const char* name, int axis) {
        if (level == current) return;
        current = level;
        setInput(irq, level);
        if (axis < 0) {
            std::fprintf(m_events, "%s %llu %d\n", name, cycle(), level);
        } else {
            std::fprintf(m_events, "%s %llu %c %d\n", name, cycle(), 'x' + axis, level);
        }
    }

    unsigned long long cycle() const { return m_avr->cycle; }

    avr_t* m_avr;
    std::FILE* m_events;
    bool m_surface;
    std::optional<Limit> m_limit;
    int m_master = -1;
    int m_slave = -1;  // kept open so that the line stays up between clients
    avr_irq_t* m_uartIn = nullptr;
    avr_irq_t* m_probePin = nullptr;
    std::array<avr_irq_t*, 3> m_limitPin{};
    std::deque<char> m_pending;
    bool m_xoff = false;
    std::string m_lineText;
    std::string m_replyText;
    std::array<bool, 3> m_stepHigh{};
    std::array<long, 3> m_position{};
    std::array<std::array<long, 2>, 3> m_count{};
    int m_power = 0;
    int m_probe = 1;
    int m_limitLevel = 1;
};

int usage() {
    std::fprintf(stderr, "usage: board_sim FIRMWARE.elf EVENTS [--surface] [--limit A,P]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return usage();
    bool surface = false;
    std::optional<Limit> limit;
    for (int i = 3; i < argc; ++i) {
        char axis = 0;
        long position = 0;
        if (std::strcmp(argv[i], "--surface") == 0) {
            surface = true;
        } else if (std::strcmp(argv[i], "--limit") == 0 && i + 1 < argc &&
                   std::sscanf(argv[i + 1], "%c,%ld", &axis, &position) == 2 && axis >= 'x' &&
                   axis <= 'z' && position != 0) {
            limit = Limit{axis - 'x', position};
            ++i;
        } else {
            return usage();
        }
    }
    avr_global_logger_set(&quietLogger);
    elf_firmware_t firmware{};
    if (elf_read_firmware(argv[1], &firmware) != 0) {
        std::fprintf(stderr, "board_sim: cannot read %s\n", argv[1]);
        return 1;
    }
    avr_t* avr = avr_make_mcu_by_name("atmega328p");
    if (!avr) return 1;
    avr_init(avr);
    avr_load_firmware(avr, &firmware);
    avr->frequency = kFrequency;
    std::FILE* events = std::fopen(argv[2], "w");
    if (!events) {
        std::fprintf(stderr, "board_sim: cannot write %s\n", argv[2]);
        return 1;
    }
    Board board(avr, events, surface, limit);
    std::string path;
    if (!board.openPty(&path)) {
        std::fprintf(stderr, "board_sim: no pseudo-terminal\n");
        return 1;
    }
    board.wire();
    ::signal(SIGTERM, onSignal);
    ::signal(SIGINT, onSignal);
    std::printf("%s\n", path.c_str());
    std::fflush(stdout);
    const bool ran = board.run();
    board.finishReply();
    std::fclose(events);
    board.printCounts();
    if (!ran) std::fprintf(stderr, "board_sim: the simulated chip stopped\n");
    return ran ? 0 : 1;
}
