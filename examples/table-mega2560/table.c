/* mega2560 firmware with code and a constant table above 64 KiB of flash: a
 * function is linked at 0x10000 and a 6 KiB table at 0x1F800, so the table
 * crosses 128 KiB. The function sums the table into PORTA. */
#include <avr/io.h>
#include <avr/pgmspace.h>
#include <stdint.h>

#define TABLE_SIZE 6144u

/* Deterministic filler that differs from byte to byte. */
#define B(n) (uint8_t)((((n) * 167u) + (((n) >> 7) * 13u) + 1u) & 0xFFu)
#define B4(n) B(n), B((n) + 1), B((n) + 2), B((n) + 3)
#define B16(n) B4(n), B4((n) + 4), B4((n) + 8), B4((n) + 12)
#define B64(n) B16(n), B16((n) + 16), B16((n) + 32), B16((n) + 48)
#define B256(n) B64(n), B64((n) + 64), B64((n) + 128), B64((n) + 192)
#define B1024(n) B256(n), B256((n) + 256), B256((n) + 512), B256((n) + 768)

const uint8_t farTable[TABLE_SIZE] __attribute__((section(".fartable"), used)) = {
    B1024(0), B1024(1024), B1024(2048), B1024(3072), B1024(4096), B1024(5120),
};

__attribute__((section(".fartext"), noinline)) uint8_t sumFarTable(void) {
    uint8_t sum = 0;
    uint_farptr_t p = pgm_get_far_address(farTable);
    for (uint16_t i = 0; i < TABLE_SIZE; ++i) sum += pgm_read_byte_far(p + i);
    return sum;
}

int main(void) {
    DDRA = 0xFF;
    for (;;) PORTA = sumFarTable();
}
