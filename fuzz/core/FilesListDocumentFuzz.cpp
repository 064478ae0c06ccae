// Feeds arbitrary bytes to the files-list document reader: it must never crash, hang or
// leak, and every entry it accepts must write back as a line that reads the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include <unistd.h>

#include "core/FilesList.h"
#include "core/FilesListDocument.h"
#include "log/ActivityLog.h"

namespace {

// The document the reader is given, removed when the fuzzer exits.
class TDocumentFile {
public:
    TDocumentFile()
    {
        const int fd = ::mkstemp(path_.data());
        if (fd < 0)
            std::abort();
        ::close(fd);
    }
    ~TDocumentFile() { ::unlink(path_.c_str()); }
    const std::string& Path() const { return path_; }

private:
    std::string path_ = "/tmp/veltrane-fuzz-XXXXXX";
};

const std::string& DocumentPath()
{
    static const TDocumentFile document;
    return document.Path();
}

void CheckRoundTrip(const FileEntry& entry)
{
    const auto line = ParseFilesListLine(FormatFilesListLine(entry));
    if (!line || line->Name != entry.Name || line->Folder != entry.Folder || line->AccessCount != entry.AccessCount)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    {
        std::ofstream out(DocumentPath(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    TFilesList list;
    TActivityLog log;
    LoadFilesList(DocumentPath(), list, log);
    for (const FileEntry& entry : list.Entries()) {
        CheckRoundTrip(entry);
        list.FindForRead(entry.Name);
    }
    return 0;
}
