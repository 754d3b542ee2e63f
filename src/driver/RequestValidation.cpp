#include "driver/RequestValidation.h"

#include "console/Console.h"
#include "console/Errors.h"

namespace mervex {

namespace {

[[noreturn]] void refuse(const char* text) { throw app_error(ExitUsage, "%s", text); }

bool nonEmpty(const char* text) { return text != nullptr && text[0] != '\0'; }

}  // namespace

void validateRequest(const Request& request, ChipSession& session) {
    // The check changes nothing on the chip, and needs no name to find it.
    if (request.check) {
        if (request.read || request.write != 0 || request.verify || request.erase || request.blankCheck != 0 ||
            request.filesGiven() || request.fuseList != nullptr || request.lockRequest != 0 ||
            request.eraseCounter || request.useFirmware != 0 || request.osccalInsert.target != InsertNone ||
            request.serialInsert.target != InsertNone || request.bytesInsert.target != InsertNone)
            refuse("--check changes nothing on the chip: it takes no -e, -b, -r, -w, -v, -f, -l, -n, -u, -C, -D "
                   "or files\n");
        return;
    }
    const bool portQuery = request.portSpec != nullptr && request.portSpec[0] == '?';
    // Identifying the chip behind the adapter needs no chip name.
    if (request.chipName == nullptr && !portQuery && !request.identifyOnly())
        refuse("Chip name must be specified\n");
    // A fuse list names fuses of a chip; without one there is nothing to parse it against.
    if (request.chipName == nullptr && request.fuseList != nullptr) refuse("Chip name must be specified\n");
    session.parseFuseRequest(request.fuseList);

    const bool write = (request.write & WriteRequested) != 0;
    const bool files = request.filesGiven();
    if (request.read) {
        if (write || request.verify) refuse("Can't both read and write or verify\n");
        if (!files && !request.identifyOnly()) refuse("Can't read without target files\n");
    } else if (write || request.verify) {
        if (!files && !nonEmpty(request.fuseList))
            refuse("Can't write/verify without source files or fuse list\n");
    }
    const bool anyOperation = request.read || write || request.verify;
    if (!anyOperation && files) refuse("Nothing to do with files, -r or -w or -v must be specified\n");
    if (anyOperation && !request.codeFile.path.empty() && request.codeFile.path == request.dataFile.path)
        refuse("The same file selected for both code and data\n");
    if (!write && !request.verify && nonEmpty(request.fuseList))
        refuse("Nothing to do with fuses, -w or -v must be specified\n");
    if (!write && !request.verify && request.useFirmware != 0)
        refuse("Nothing to do with -u, -w or -v must be specified\n");
    if (request.read && (request.codeFile.format == FormatElf || request.dataFile.format == FormatElf))
        refuse("Can't read into an ELF file, use :ihex: or :bin:\n");
}

}  // namespace mervex
