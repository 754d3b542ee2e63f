/* Blinks an LED on PB0 of a mega8 at about 1 Hz (1 MHz internal oscillator). */
#define F_CPU 1000000UL

#include <avr/eeprom.h>
#include <avr/io.h>
#include <util/delay.h>

/* A few EEPROM bytes, so the build also yields a data-memory file. */
uint8_t EEMEM blinkSettings[8] = {0x01, 0xF4, 0x00, 0x64, 'M', 'X', 0x00, 0xFF};

int main(void) {
    uint8_t halfPeriod = eeprom_read_byte(&blinkSettings[3]);
    if (halfPeriod == 0xFF) halfPeriod = 100;
    DDRB |= _BV(PB0);
    for (;;) {
        PORTB ^= _BV(PB0);
        for (uint8_t i = 0; i < halfPeriod; ++i) _delay_ms(5);
    }
}
