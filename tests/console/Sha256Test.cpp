// The file digests of the run log: SHA-256 against the standard's known answers,
// whole and fed in pieces that cross the 64-byte blocks.
#include "base/Sha256.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace mervex {
namespace {

struct KnownAnswer {
    std::string input;
    const char* digest;
};

TEST(Sha256, GivesTheKnownAnswers) {
    const KnownAnswer answers[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const KnownAnswer& answer : answers) {
        Sha256 whole;
        whole.update(answer.input.data(), answer.input.size());
        EXPECT_EQ(whole.hexDigest(), answer.digest) << answer.input.size() << " bytes";

        Sha256 pieces;
        for (size_t at = 0, step = 1; at < answer.input.size(); at += step, step = step % 97 + 13)
            pieces.update(answer.input.data() + at, std::min(step, answer.input.size() - at));
        EXPECT_EQ(pieces.hexDigest(), answer.digest) << answer.input.size() << " bytes in pieces";
    }
}

}  // namespace
}  // namespace mervex
