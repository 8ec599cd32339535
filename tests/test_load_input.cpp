// Loading: the size limits, their order, the zero byte and the room of the sample array.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "input/input.h"
#include "support/thread_runner.h"

namespace {

struct TempDir {
    std::string path;
    TempDir() {
        char name[] = "/tmp/fftext-load-XXXXXX";
        path = mkdtemp(name);
    }
    ~TempDir() { std::system(("rm -rf '" + path + "'").c_str()); }
};

std::string write_file(const TempDir& dir, const char* name, const std::string& bytes) {
    std::string path = dir.path + "/" + name;
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    EXPECT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    close(fd);
    return path;
}

std::string sparse_file(const TempDir& dir, const char* name, off_t size) {
    std::string path = write_file(dir, name, "");
    EXPECT_EQ(truncate(path.c_str(), size), 0);
    return path;
}

std::string load(const std::string& path, TextBuffer* text, SampleArray* samples,
                 const Workers& workers = kOneWorker) {
    FailureMessage message = load_input_file(path.c_str(), text, samples, workers);
    return failed(message) ? std::string(message.caption) + ": " + message.text : "";
}

TEST(LoadInputFile, SizeLimitsInOrder) {
    TempDir dir;
    TextBuffer text{};
    SampleArray samples{};
    EXPECT_EQ(load(dir.path + "/missing", &text, &samples),
              "Error: CreateFile(GENERIC_READ, FILE_SHARE_READ) failed");
    EXPECT_EQ(load(dir.path, &text, &samples), "Error: CreateFile(GENERIC_READ, FILE_SHARE_READ) failed");
    EXPECT_EQ(load(write_file(dir, "empty", ""), &text, &samples), "Warning: Empty file");
    EXPECT_EQ(load(sparse_file(dir, "limit", 268435456), &text, &samples), "Error: File too large");
    EXPECT_EQ(load(sparse_file(dir, "beyond32", 0x100000000LL + 10), &text, &samples),
              "Error: File too large");
    // Its sample array request is 8 * 0 bytes, which the page allocator refuses.
    EXPECT_EQ(load(write_file(dir, "one", "5"), &text, &samples), "Error: Out of memory (data array)");
}

TEST(LoadInputFile, LargestFileIsLoaded) {
    TempDir dir;
    TextBuffer text{};
    SampleArray samples{};
    ASSERT_EQ(load(sparse_file(dir, "largest", 268435455), &text, &samples), "");
    EXPECT_EQ(text.size, 268435455u);
    EXPECT_EQ(text.bytes[text.size], '\0');
    // 8 * 134217727 bytes, rounded up to whole pages, in 16-byte records.
    EXPECT_EQ(samples.room, 67108864u);
}

// Files from 16 MiB on are read in pieces, one per worker (at most 8), each
// on a thread of its own: every byte must land in its place, across the
// piece boundaries and at odd sizes, with 1, 2, 3 and 7 workers.
TEST(LoadInputFile, LargeFilesArriveWhole) {
    TempDir dir;
    for (uint32_t size : {(16u << 20) - 1u, 16u << 20, (16u << 20) + 12345u, (33u << 20) + 7u}) {
        std::string bytes(size, '\0');
        uint32_t state = size;
        for (char& c : bytes) {
            state = state * 1664525u + 1013904223u;
            c = static_cast<char>('a' + (state >> 24) % 26u);
        }
        const std::string path = write_file(dir, "large", bytes);
        for (int workers : {1, 2, 3, 7}) {
            TextBuffer text{};
            SampleArray samples{};
            reset_test_runs();
            ASSERT_EQ(load(path, &text, &samples, noting_threads(workers)), "") << size;
            EXPECT_EQ(last_test_run.load(), size < (16u << 20) ? 1 : workers) << size << " bytes";
            ASSERT_EQ(text.size, size);
            EXPECT_EQ(std::string(text.bytes, size) == bytes, true)
                << "bytes differ at size " << size << ", " << workers << " workers";
            EXPECT_EQ(text.bytes[size], '\0');
            // Both blocks are pages of their own that the run never gives
            // back; the test does, so that the loads do not pile up.
            munmap(const_cast<char*>(text.bytes), size + 1u);
            munmap(samples.values, size_t{samples.room} * sizeof(SamplePoint));
        }
    }
}

TEST(LoadInputFile, RoomIsThePageRoundedRequest) {
    struct Case {
        std::string bytes;
        uint32_t room;
    };
    const Case cases[] = {
        {"0 1\n1 2", 256},              // request 24 bytes, one page
        {"12", 256},                    // request 8 bytes
        {std::string(1024, ' '), 256},  // request 4096 bytes, exactly one page
        {std::string(1025, ' '), 256},
        {std::string(1026, ' '), 512},  // request 4104 bytes, two pages
    };
    TempDir dir;
    for (const Case& c : cases) {
        TextBuffer text{};
        SampleArray samples{};
        ASSERT_EQ(load(write_file(dir, "f", c.bytes), &text, &samples), "");
        EXPECT_EQ(std::string(text.bytes, text.size), c.bytes);
        EXPECT_EQ(text.bytes[text.size], '\0');
        EXPECT_EQ(samples.room, c.room) << c.bytes.size() << " bytes";
        // The room is really there, zero-filled.
        EXPECT_EQ(samples.values[2u * samples.room - 1u], 0.0);
    }
}

TEST(LoadInputFile, FourByteRecordsAlwaysFit) {
    // n records of 4 bytes without a final break: 4n - 1 bytes, request 16n - 8,
    // points 16n. The page rounding must make up the difference.
    TempDir dir;
    for (uint32_t n : {2u, 255u, 256u, 257u, 511u, 512u, 1000u}) {
        std::string bytes;
        for (uint32_t i = 0; i < n; ++i) bytes += std::to_string(i % 10) + " 1\n";
        bytes.pop_back();
        TextBuffer text{};
        SampleArray samples{};
        ASSERT_EQ(load(write_file(dir, "f", bytes), &text, &samples), "");
        uint32_t count = 0;
        EXPECT_FALSE(failed(parse_samples(text, samples, &count, kOneWorker))) << n << " records";
        EXPECT_EQ(count, n);
    }
}

}  // namespace
