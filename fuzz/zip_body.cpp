#include "fuzz/zip_body.h"

#include <filesystem>
#include <fstream>

#include "archive/unzipper.h"

namespace fuzzing {

using archive::TAbUnZipper;

int extractBytesForFuzzing(const std::uint8_t* data, std::size_t size, const std::string& workDir) {
    namespace fs = std::filesystem;
    const fs::path work(workDir);
    const fs::path out = work / "out";
    std::error_code ec;
    fs::remove_all(out, ec);
    fs::create_directories(out, ec);
    const fs::path input = work / "input.qlzip";
    {
        std::ofstream f(input, std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    TAbUnZipper u;
    try {
        u.SetBaseDirectory(out.string());
        u.SetFileName(input.string());
        u.ExtractFiles("*.*");
    } catch (const core::Exception&) {
        return -1;
    }
    return static_cast<int>(u.FailedEntries().size());
}

}  // namespace fuzzing
