// libFuzzer target for the RTF reader (not part of the normal build or run).
// Configure a separate build with clang and coverage on every library:
//   cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
//     -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link,address,undefined -DROLLCALL_FUZZ=ON
//   cmake --build build-fuzz --target fuzz_rtfreader
//   build-fuzz/tests/script/fuzz_rtfreader -max_total_time=3600 -max_len=65536 \
//     corpus/ tests/script/samples/
#include "script/rtfreader.h"

#include <QGuiApplication>
#include <QTextDocument>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QGuiApplication app(*argc, *argv); // fonts for the document's formats
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QTextDocument doc;
    rollcall::script::readRtf(
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size)), &doc);
    return 0;
}
