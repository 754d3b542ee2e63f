/* Blinks an LED on PB5 of a mega328P (the LED of many boards) at a rate kept in
 * the EEPROM. The ELF file carries everything the chip needs, so mervex
 * programs it in one command: flash, EEPROM, fuses, lock bits, and the
 * signature that tells which chip it is for. */
#define F_CPU 8000000UL

#include <avr/eeprom.h>
#include <avr/io.h>
#include <avr/signature.h>
#include <util/delay.h>

/* 8 MHz internal oscillator without the /8 divider; EEPROM kept by an erase;
 * brown-out detection at 2.7 V. */
FUSES = {
    .low = FUSE_CKSEL0 & FUSE_CKSEL2 & FUSE_CKSEL3 & FUSE_SUT0,
    .high = HFUSE_DEFAULT & FUSE_EESAVE,
    .extended = EFUSE_DEFAULT & FUSE_BODLEVEL1,
};

/* Neither reading nor programming through ISP until the next erase. */
LOCKBITS = LB_MODE_3;

/* Half period in units of 10 ms, and a board name. */
uint8_t EEMEM halfPeriod = 50;
char EEMEM boardName[8] = "mx-328p";

int main(void) {
    uint8_t ticks = eeprom_read_byte(&halfPeriod);
    if (ticks == 0xFF) ticks = 50;
    DDRB |= _BV(PB5);
    for (;;) {
        PORTB ^= _BV(PB5);
        for (uint8_t i = 0; i < ticks; ++i) _delay_ms(10);
    }
}
