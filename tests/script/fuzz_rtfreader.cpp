// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the RTF reader (not part of the normal build or run).
// Configure a separate build with clang and coverage on every library:
//   cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
//     -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link,address,undefined -DROLLCALL_FUZZ=ON
//   cmake --build build-fuzz --target fuzz_rtfreader
//   build-fuzz/tests/script/fuzz_rtfreader -max_total_time=3600 -max_len=65536 \
//     -rss_limit_mb=768 -timeout=10 corpus/ tests/script/samples/
// Each input is read as it is, and then once more repeated after an RTF header to
// about 2 MB: a few bytes of a costly shape (paragraph marks, changes of format,
// groups) make a large file, which must stay within the memory and time limits
// scripts/fuzz gives this target. The document never holds more than a script may.
#include "script/rtfreader.h"

#include <QGuiApplication>
#include <QTextDocument>

#include <cstdint>
#include <cstdlib>

namespace {
constexpr qsizetype kRepeatedSize = 2 * 1024 * 1024;

void read(const QByteArray &bytes)
{
    using namespace rollcall::script;
    QTextDocument doc;
    readRtf(bytes, &doc);
    if (doc.characterCount() > kMaxScriptCharacters + 1 || doc.blockCount() > kMaxScriptPieces + 1)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QGuiApplication app(*argc, *argv); // fonts for the document's formats
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes
        = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    read(bytes);
    if (size > 0)
        read("{\\rtf1 " + bytes.repeated(kRepeatedSize / qsizetype(size) + 1));
    return 0;
}
