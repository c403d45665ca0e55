// Benchmark, not a test: how fast the page codecs of encoded and encrypted files decode and
// encode, and how long opening an encrypted .accdb takes (the password's key derivation). Reads
// the fixtures under access/encrypted/ and prints MiB per second and pages per second for each.
//
//   page_codec_bench [ROUNDS]   (default 20 passes over every page of each file)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "db/jet/database/database.h"
#include "db/jet/page/office_codec.h"
#include "tests/support/test_env.h"

namespace {

double secondsSince(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 20;
    struct File {
        const char* rel;
        const char* password;
    };
    const File files[] = {{"access/encrypted/db97-enc.mdb", ""},
                          {"access/encrypted/db-enc.mdb", ""},
                          {"access/encrypted/db2007-enc.accdb", "Test123"},
                          {"access/encrypted/db2013-enc.accdb", "1234"}};
    std::printf("%-20s %10s %12s %12s %12s\n", "file", "open ms", "decode MiB/s", "encode MiB/s",
                "pages/s");
    for (const auto& f : files) {
        const std::string path = (testenv::fixturesDir() / f.rel).string();
        auto file = jet::openPosixFile(path, jet::OpenMode::ReadOnly);
        std::vector<std::uint8_t> bytes(file->size());
        file->read(0, bytes);

        auto t = std::chrono::steady_clock::now();
        auto db = jet::Database::open(std::make_unique<jet::MemoryFile>(bytes), {f.password});
        const double openMs = secondsSince(t) * 1000;
        std::unique_ptr<jet::PageCodec> codec;
        if (db->encryption())
            codec = jet::openOfficeCodec(*db->encryption(), db->header().encodingKey, f.password);
        else
            codec = std::make_unique<jet::Rc4PageCodec>(db->header().encodingKey);

        const std::uint32_t size = db->format().pageSize;
        const std::uint32_t pages = static_cast<std::uint32_t>(bytes.size() / size);
        std::vector<std::uint8_t> work = bytes;
        t = std::chrono::steady_clock::now();
        for (int r = 0; r < rounds; ++r)
            for (std::uint32_t n = 1; n < pages; ++n)
                codec->decode(n, std::span(work).subspan(std::size_t{n} * size, size));
        const double decodeS = secondsSince(t);
        t = std::chrono::steady_clock::now();
        for (int r = 0; r < rounds; ++r)
            for (std::uint32_t n = 1; n < pages; ++n)
                codec->encode(n, std::span(work).subspan(std::size_t{n} * size, size));
        const double encodeS = secondsSince(t);
        const double mib = double(rounds) * (pages - 1) * size / (1024.0 * 1024.0);
        std::printf("%-20s %10.1f %12.1f %12.1f %12.0f\n",
                    std::filesystem::path(f.rel).filename().c_str(), openMs, mib / decodeS,
                    mib / encodeS, double(rounds) * (pages - 1) / decodeS);
        if (work != bytes) std::printf("  (pages did not return to their bytes)\n");
    }
    return 0;
}
