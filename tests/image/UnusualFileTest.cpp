// File names that are not plain files: an output on a device such as /dev/full
// (reached here through a link, so a regression cannot delete the real device)
// fails without deleting anything; an input that is a directory is a read error
// whose second line is the system's text.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "console/Errors.h"
#include "image/ImageReader.h"
#include "image/ImageWriter.h"
#include "support/CaptureConsole.h"
#include "support/Files.h"
#include "support/StatusOf.h"

namespace mervex {
namespace {

TEST(SpecialOutput, FullDeviceFailsAndStays) {
    if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
    for (uint8_t format : {FormatIntelHex, FormatBinary}) {
        const std::string link = test::scratchPath("full-device.out");
        ::unlink(link.c_str());
        ASSERT_EQ(::symlink("/dev/full", link.c_str()), 0);
        std::vector<uint8_t> bytes(8192, 0x5A);
        MemoryImage image;
        image.append(std::make_unique<MemoryBlock>(0, uint32_t(bytes.size()), bytes.data()));
        test::CaptureConsole capture;
        EXPECT_EQ(test::statusOf([&] { writeImageFile(image, ImageFile{format, link}, true); }), ExitFile);
        EXPECT_EQ(capture.out(), "ERROR:  " + link + " - write error\n");
        struct stat info;
        EXPECT_EQ(::lstat(link.c_str(), &info), 0) << "the link was deleted";
        EXPECT_TRUE(S_ISLNK(info.st_mode));
        ::unlink(link.c_str());
    }
}

TEST(SpecialInput, DirectoryIsAReadError) {
    const std::string directory = test::scratchPath("input-directory");
    ::mkdir(directory.c_str(), 0755);
    const struct {
        uint8_t format;
        std::string text;
    } cases[] = {{FormatIntelHex, "No ending record in HEX file '" + directory + "'\n"},
                 {FormatBinary, directory + " - read error\n"}};
    for (const auto& c : cases) {
        test::CaptureConsole capture;
        MemoryImage image;
        try {
            readImageFile(image, ImageFile{c.format, directory});
            ADD_FAILURE() << "a directory read as an image";
        } catch (const app_error& error) {
            reportFailure(error);
            EXPECT_EQ(error.status(), ExitFile);
        }
        EXPECT_EQ(capture.out(), "ERROR:  " + c.text + "ERROR:  Is a directory\n");
    }
}

}  // namespace
}  // namespace mervex
