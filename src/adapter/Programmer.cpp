#include "adapter/Programmer.h"

namespace mervex {

void Programmer::transferBlock(const uint8_t* out, uint8_t* in, size_t count) {
    for (size_t i = 0; i < count; ++i) in[i] = transferByte(out[i]);
}

void Programmer::sendBlock(const uint8_t* out, size_t count) {
    for (size_t i = 0; i < count; ++i) sendByte(out[i]);
}

void Programmer::receiveBlock(uint8_t* in, size_t count) {
    for (size_t i = 0; i < count; ++i) in[i] = receiveByte();
}

}  // namespace mervex
