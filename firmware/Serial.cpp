#include "Serial.h"

#include <avr/interrupt.h>
#include <avr/io.h>

namespace {

constexpr uint32_t kBaud = 9600;
constexpr uint16_t kBaudDivider = F_CPU / 16 / kBaud - 1;
constexpr uint8_t kBufferSize = 128;  // a power of two: the indices wrap by masking

volatile uint8_t g_buffer[kBufferSize];
volatile uint8_t g_head;  // written by the interrupt
uint8_t g_tail;

void writeByte(uint8_t byte) {
    while (!(UCSR0A & _BV(UDRE0))) {
    }
    UDR0 = byte;
}

}  // namespace

ISR(USART_RX_vect) {
    const uint8_t byte = UDR0;
    const uint8_t next = (g_head + 1) & (kBufferSize - 1);
    if (next == g_tail) return;
    g_buffer[g_head] = byte;
    g_head = next;
}

void serialInit() {
    UBRR0H = uint8_t(kBaudDivider >> 8);
    UBRR0L = uint8_t(kBaudDivider);
    UCSR0A = 0;
    UCSR0C = _BV(UCSZ01) | _BV(UCSZ00);
    UCSR0B = _BV(RXEN0) | _BV(TXEN0) | _BV(RXCIE0);
}

int serialRead() {
    if (g_tail == g_head) return -1;
    const uint8_t byte = g_buffer[g_tail];
    g_tail = (g_tail + 1) & (kBufferSize - 1);
    return byte;
}

void serialWrite(const char* text) {
    while (*text) writeByte(uint8_t(*text++));
}

void serialWriteNumber(uint16_t value) {
    char digits[6];
    uint8_t count = 0;
    do {
        digits[count++] = char('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0) writeByte(uint8_t(digits[--count]));
}
