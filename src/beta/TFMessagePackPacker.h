#pragma once

#include <optional>
#include <string>

#include "beta/BBMessagePackBuffer.h"
#include "beta/BBValue.h"

namespace bb {

// Packs one object graph into one buffer; one instance serves one pack() call on one thread.
// Numbers keep the width they were declared with (no fixnums are written), strings and data are
// both raws, and data marked as MessagePack is copied verbatim.
class TFMessagePackPacker {
public:
    TFMessagePackPacker() = default;
    ~TFMessagePackPacker();
    TFMessagePackPacker(const TFMessagePackPacker&) = delete;
    TFMessagePackPacker& operator=(const TFMessagePackPacker&) = delete;

    // The packed bytes, marked as MessagePack; nothing when memory ran out.
    std::optional<BBData> pack(const BBValue& object);

    void packObject(const BBValue& object);
    void packNSArray(const BBArray& array);
    void packNSDictionary(const BBDictionary& dictionary);
    void packNSNumber(const BBValue& number);
    void packNSString(const std::string& string);
    void packNSData(const BBData& data);
    void packNSNull();

private:
    void releaseBuffer();
    BBMessagePackBuffer buffer_;
};

}  // namespace bb
