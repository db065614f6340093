// The beta library's codec and session log against their peers, measured in one run; the table
// printed last gives each ratio of times (ours / peer) beside the most it should be:
//  - packing and unpacking against msgpack-c on the same data (goal: 1.2 times its speed, a
//    ratio of at most 0.83; a plain string, which packing only copies, within 5% of memcpy);
//  - appending log entries, with their rollovers, against bare zlib deflate of the same bytes
//    in the same 64 KiB runs (the ceiling; the floor: half its throughput, a ratio of at most 2).
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <msgpack.hpp>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "BenchSupport.h"
#include "beta/BBLogManager.h"
#include "beta/BBMessagePack.h"
#include "beta/BBRemoteLog.h"

using namespace bb;

namespace {

// About 1 KB: the shape of an event the library queues.
BBValue eventMap(int seed) {
    std::mt19937 random(seed);
    BBDictionary event{
        {"type", "checkpoint"},
        {"name", "Opened the settings screen " + std::to_string(random() % 1000)},
        {"session_id", "6F9619FF-8B86-D011-B42D-00C04FC964FF"},
        {"seq", static_cast<std::int32_t>(random() % 100000)},
        {"time", 1.4e9 + random() % 100000},
        {"fragment", std::int64_t{42}},
        {"manual", false},
        {"first_session", true},
        {"app_version", "1.2 (45)"},
        {"os_version", "6.1.0-13-amd64"},
        {"device_model", "x86_64"},
        {"locale", "de_DE"},
        {"time_zone", "CET"},
        {"time_zone_offset", std::int64_t{3600}},
        {"connection_state", "Wifi Active"},
        {"open_udid", "0123456789abcdef0123456789abcdef01234567"},
    };
    BBArray marks;
    for (int i = 0; i < 40; ++i) marks.push_back(static_cast<std::int32_t>(random() % 70000));
    event.set("marks", marks);
    event.set("feedback", std::string(400, 'f'));
    return BBValue(std::move(event));
}

BBValue bigString() { return BBValue(std::string(100 * 1024, 's')); }

// The shape of a crash report: 8 threads of 30 symbolicated frames, registers, loaded images and
// the last 50 log lines, each a map of its time and text.
BBValue crashEvent() {
    std::mt19937 random(7);
    auto hex = [&] {
        char text[20];
        std::snprintf(text, sizeof text, "0x%016llx", static_cast<unsigned long long>(random()) << 16);
        return std::string(text);
    };
    BBDictionary threads{{"primary_thread", "0"}};
    for (int t = 0; t < 8; ++t) {
        BBArray frames;
        for (int f = 0; f < 30; ++f) {
            frames.push_back(std::to_string(f) + "   quorix   " + hex() + " VNTrackMapViewController::setTrack(Track const&) + " +
                             std::to_string(random() % 500));
        }
        threads.set(std::to_string(t), std::move(frames));
    }
    BBDictionary registers;
    for (const char* name : {"rax", "rbx", "rcx", "rdx", "rdi", "rsi", "rbp", "rsp", "r8", "r9", "r10", "r11", "r12", "r13",
                             "r14", "r15", "rip", "rflags", "cs", "fs", "gs"}) {
        registers.set(name, static_cast<std::uint64_t>(random()) << 20);
    }
    BBArray images;
    for (int i = 0; i < 40; ++i) images.push_back(hex() + " - " + hex() + " lib" + std::to_string(i) + ".so.6 <" + hex() + ">");
    BBArray log;
    for (int i = 0; i < 50; ++i) {
        log.push_back(BBDictionary{{"Time", std::int64_t{1'800'000'000} + i},
                                   {"Message", "Betabeam: uploaded queue file " + std::to_string(random()) + " of session " +
                                                   std::to_string(random() % 50) + " after " + std::to_string(random() % 3000) + " ms"}});
    }
    return BBValue(BBDictionary{{"crashtype", "signal"}, {"signal", "SIGSEGV"}, {"stacktrace", std::move(threads)},
                                {"register_state", std::move(registers)}, {"image_list", std::move(images)},
                                {"log", std::move(log)}, {"sequence_number", std::int64_t{12}}});
}

// A handful of fields: the smallest bodies the library packs.
BBValue smallMap() {
    return BBValue(BBDictionary{{"type", "checkpoint"}, {"name", "Opened the settings screen"},
                                {"seq", std::int32_t{4711}}, {"time", 1.8e9}, {"manual", false}});
}

BBValue nestedArrays() {
    BBArray outer;
    for (int i = 0; i < 100; ++i) {
        BBArray inner;
        for (int j = 0; j < 100; ++j) inner.push_back(BBArray{i * j, static_cast<double>(j) / 3, "n"});
        outer.push_back(std::move(inner));
    }
    return BBValue(std::move(outer));
}

// The same data as msgpack-c's dynamic object, its usual way to hold a graph of any shape.
msgpack::object toMsgpack(const BBValue& v, msgpack::zone& zone) {
    switch (v.type()) {
        case BBValue::Type::Null: return msgpack::object();
        case BBValue::Type::Boolean: return msgpack::object(v.boolValue());
        case BBValue::Type::Float:
        case BBValue::Type::Double: return msgpack::object(v.doubleValue());
        case BBValue::Type::String: return msgpack::object(v.string(), zone);
        case BBValue::Type::Array: {
            msgpack::object o;
            o.type = msgpack::type::ARRAY;
            o.via.array.size = static_cast<std::uint32_t>(v.asArray()->size());
            o.via.array.ptr = static_cast<msgpack::object*>(zone.allocate_align(sizeof(msgpack::object) * o.via.array.size));
            for (std::uint32_t i = 0; i < o.via.array.size; ++i) o.via.array.ptr[i] = toMsgpack((*v.asArray())[i], zone);
            return o;
        }
        case BBValue::Type::Dictionary: {
            msgpack::object o;
            o.type = msgpack::type::MAP;
            o.via.map.size = static_cast<std::uint32_t>(v.asDictionary()->size());
            o.via.map.ptr = static_cast<msgpack::object_kv*>(zone.allocate_align(sizeof(msgpack::object_kv) * o.via.map.size));
            std::uint32_t i = 0;
            for (const auto& [key, value] : *v.asDictionary()) {
                o.via.map.ptr[i].key = toMsgpack(key, zone);
                o.via.map.ptr[i].val = toMsgpack(value, zone);
                ++i;
            }
            return o;
        }
        default: return msgpack::object(v.int64Value());
    }
}

struct Sample {
    BBValue value;
    std::string packed;
    msgpack::zone zone;
    msgpack::object object;
};

Sample& sample(int which) {
    static Sample samples[5];
    Sample& s = samples[which];
    if (s.packed.empty()) {
        s.value = which == 0 ? eventMap(1) : which == 1 ? bigString() : which == 2 ? nestedArrays()
                : which == 3 ? crashEvent() : smallMap();
        s.packed = std::string(BBMessagePack::pack(s.value)->view());
        s.object = toMsgpack(s.value, s.zone);
    }
    return s;
}

void BM_Pack_Ours(benchmark::State& state) {
    Sample& s = sample(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        auto packed = BBMessagePack::pack(s.value);
        benchmark::DoNotOptimize(packed->bytes());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * s.packed.size()));
}

void BM_Pack_MsgpackC(benchmark::State& state) {
    Sample& s = sample(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        msgpack::sbuffer buffer;
        msgpack::pack(buffer, s.object);
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * s.packed.size()));
}

// The floor of packing a plain string: copying its bytes into a buffer of their own.
void BM_Pack_Memcpy(benchmark::State& state) {
    Sample& s = sample(static_cast<int>(state.range(0)));
    const std::string_view text = s.value.string();
    for (auto _ : state) {
        char* copy = static_cast<char*>(std::malloc(text.size() + 5));
        std::memcpy(copy + 5, text.data(), text.size());
        benchmark::DoNotOptimize(copy);
        std::free(copy);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * s.packed.size()));
}

void BM_Unpack_Ours(benchmark::State& state) {
    Sample& s = sample(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        auto object = BBMessagePack::unpack(s.packed);
        benchmark::DoNotOptimize(object->type());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * s.packed.size()));
}

void BM_Unpack_MsgpackC(benchmark::State& state) {
    Sample& s = sample(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        msgpack::object_handle handle = msgpack::unpack(s.packed.data(), s.packed.size());
        benchmark::DoNotOptimize(handle.get().type);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * s.packed.size()));
}

// Log lines like a host writes them: mostly text, partly varying.
std::vector<std::string> logLines() {
    std::mt19937 random(5);
    std::vector<std::string> lines;
    for (int i = 0; i < 10000; ++i) {
        lines.push_back("Betabeam: uploaded queue file " + std::to_string(random()) + " of session " +
                        std::to_string(random() % 50) + " after " + std::to_string(random() % 3000) + " ms");
    }
    return lines;
}

// The entries exactly as the log writes them.
std::string entryBytes(const std::vector<std::string>& lines) {
    std::string all;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& text = lines[i];
        all += std::string("\x82\xa4Time\xd3", 7);
        for (int shift = 56; shift >= 0; shift -= 8) all += static_cast<char>(static_cast<std::uint64_t>(i) >> shift);
        all += std::string("\xa7Message", 8);
        all += text.size() < 32 ? std::string(1, static_cast<char>(0xa0 | text.size()))
                                : std::string{'\xda', static_cast<char>(text.size() >> 8), static_cast<char>(text.size())};
        all += text;
    }
    return all;
}

// range(0) 0: each line written as it comes (a lone caller); 1: lines held while more wait and
// written once at the end of the burst, as the log manager does when lines queue up.
void BM_LogAppend_Ours(benchmark::State& state) {
    const bool burst = state.range(0) == 1;
    const auto lines = logLines();
    const std::string dir = (std::filesystem::temp_directory_path() / "bb_bench_log").string();
    std::filesystem::create_directories(dir);
    for (auto _ : state) {
        BBRemoteLog log{};
        bb_log_store_setup(&log, dir.c_str(), "bench");
        // A new session's log starts with neither file (its id is new): truncating the last
        // round's .ulog instead would add the file system's flush of a replaced file.
        std::filesystem::remove(std::string(log.path) + ".ulog");
        std::filesystem::remove(std::string(log.path) + ".zlog");
        bb_log_open(&log);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const auto seconds = static_cast<std::int64_t>(i);
            if (burst) {
                bb_log_append_entry_held(&log, lines[i], seconds);
            } else {
                bb_log_append_entry(&log, lines[i], seconds);
            }
        }
        bb_log_close(&log);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * entryBytes(lines).size()));
    std::filesystem::remove_all(dir);
}

// The same lines through the log manager, each in the file when log() returns, as a host logs
// them one at a time (the other sinks off). Starting and stopping the manager's queue is not
// timed: on a busy machine the thread switches it takes are worth more than the lines.
void BM_LogAppend_Manager(benchmark::State& state) {
    const auto lines = logLines();
    const std::string dir = (std::filesystem::temp_directory_path() / "bb_bench_manager").string();
    std::filesystem::create_directories(dir);
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto manager = std::make_unique<BBLogManager>(dir);
        manager->setLogToConsole(false);
        manager->setLogToSTDERR(false);
        const std::string id = "bench" + std::to_string(round++);
        manager->setCurrentSessionID(id);
        manager->sync([] {});
        state.ResumeTiming();
        for (const auto& line : lines) manager->log(line);
        state.PauseTiming();
        if (!std::filesystem::exists(manager->pathForSessionID(id) + ".zlog")) {
            state.SkipWithError("the lines did not reach the session log");
        }
        manager.reset();
        // As the other rounds: no round's files left to the file system's write-back.
        std::filesystem::remove_all(dir + "/logs");
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * entryBytes(lines).size()));
    std::filesystem::remove_all(dir);
}

void BM_LogAppend_ZlibCeiling(benchmark::State& state) {
    const std::string all = entryBytes(logLines());
    std::vector<unsigned char> out(compressBound(kBBLogRunSize));
    for (auto _ : state) {
        for (std::size_t at = 0; at < all.size(); at += kBBLogRunSize) {
            uLongf size = out.size();
            const std::size_t n = std::min<std::size_t>(kBBLogRunSize, all.size() - at);
            compress2(out.data(), &size, reinterpret_cast<const Bytef*>(all.data() + at), n, Z_DEFAULT_COMPRESSION);
            benchmark::DoNotOptimize(out.data());
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * all.size()));
}

}  // namespace

// 0: 1 KB event map, 1: 100 KB string, 2: nested arrays, 3: crash event, 4: small map.
BENCHMARK(BM_Pack_Ours)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Arg(4);
BENCHMARK(BM_Pack_MsgpackC)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Arg(4);
BENCHMARK(BM_Pack_Memcpy)->Arg(1);
BENCHMARK(BM_Unpack_Ours)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Arg(4);
BENCHMARK(BM_Unpack_MsgpackC)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Arg(4);
// Appends are mostly system calls: measured on the wall clock, like their ceiling.
BENCHMARK(BM_LogAppend_Ours)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LogAppend_Manager)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LogAppend_ZlibCeiling)->Unit(benchmark::kMillisecond)->UseRealTime();

namespace {

constexpr double kCodecGoal = 1 / 1.2;  // 1.2 times msgpack-c's speed
constexpr double kCopyGoal = 1.05;      // within 5% of a bare copy
constexpr double kLogFloor = 2;         // half of zlib's throughput

void compare(const qxbench::RunTimes& runs) {
    const char* samples[] = {"1 KB event map", "100 KB string", "nested arrays", "crash event", "small map"};
    for (int i = 0; i < 5; ++i) {
        const std::string arg = "/" + std::to_string(i);
        // Both copy a plain string: its goal is the copy's, below.
        const double goal = i == 1 ? 0 : kCodecGoal;
        runs.compare(std::string("pack, ") + samples[i], "BM_Pack_Ours" + arg, "BM_Pack_MsgpackC" + arg, "msgpack-c",
                     "us", goal);
        runs.compare(std::string("unpack, ") + samples[i], "BM_Unpack_Ours" + arg, "BM_Unpack_MsgpackC" + arg,
                     "msgpack-c", "us", goal);
    }
    runs.compare("pack, 100 KB string, against a copy", "BM_Pack_Ours/1", "BM_Pack_Memcpy/1", "memcpy", "us",
                 kCopyGoal);
    const std::pair<const char*, const char*> appends[] = {{"log append, each line as it comes", "BM_LogAppend_Ours/0"},
                                                           {"log append, lines held in a burst", "BM_LogAppend_Ours/1"},
                                                           {"log append through the manager", "BM_LogAppend_Manager"}};
    for (const auto& [measure, run] : appends)
        runs.compare(measure, run, "BM_LogAppend_ZlibCeiling", "zlib deflate, 64 KiB runs", "ms", kLogFloor);
}

}  // namespace

int main(int argc, char** argv) { return qxbench::run(argc, argv, [] {}, compare); }
