#include "core/loaded_data.h"

#include <cstdlib>

LoadedDataSlot loadedDataSlot;

const char* const loadMessages[LoadMessageCount] = {
    "ヘッダがありません。",
    "ヘッダが不正です。",
    "ファイルサイズ指定がありません。",
    "フォーマット指定がありません。",
    "フォーマットが不正です。",
    "構造体のサイズ指定がありません。",
    "構造体がありません。",
    "\"data\"がありません。",
    "データの長さ指定がありません。",
    "データの長さが不足しています。",
    "メモリの割り当てに失敗しました。",
    "データが途中で切れています。",
    "モノラル８ビットでありません。",
};

WaveBuffer currentWaveBuffer()
{
    WaveBuffer buffer;
    buffer.sampleRate = static_cast<int32_t>(loadedDataSlot.format.nSamplesPerSec);
    buffer.sampleCount = loadedDataSlot.held ? loadedDataSlot.count : 0;
    buffer.samples = loadedDataSlot.data;
    return buffer;
}

TapeImage currentTapeImage()
{
    TapeImage image;
    image.count = loadedDataSlot.held ? loadedDataSlot.count : 0;
    image.bytes = loadedDataSlot.data;
    return image;
}

void releaseLoadedData()
{
    if (loadedDataSlot.held) {
        std::free(loadedDataSlot.data);
        loadedDataSlot.data = nullptr;
        loadedDataSlot.held = 0;
    }
}
