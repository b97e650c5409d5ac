#pragma once

#include <array>
#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>

#include "device/AhrsState.h"
#include "device/ManualResetEvent.h"
#include "device/RecordGroups.h"

// Turns the bytes received on the maintenance port into logical lines, recognises each
// line by its leading keyword and writes its value into the record. Also raises the
// four acknowledgement events that commands wait on:
//   0 "** ACCEL NULL COMPLETE **"   1 "** GYRO NULL COMPLETE **"
//   2 "++ MCC ERASE ++"             3 "++ MCC STORE ++"
//
// ProcessChunk runs on the port's listener thread; ClearAck and IsAckSet on the
// user-interface thread. Lock order: parser lock, then the record lock (never the reverse).
class CLineParser {
public:
    static constexpr int kAckEventCount = 4;
    // An unterminated line that reaches this many bytes is dropped.
    static constexpr std::size_t kMaxPending = 64 * 1024;

    // What a chunk brought: whether at least one complete line in it was recognised, and
    // the groups whose values its lines stored (a recognised line whose value could not be
    // read stores nothing). Tests as `recognised`.
    struct ChunkResult {
        bool recognised = false;
        CRecordGroups changed;

        explicit operator bool() const { return recognised; }
    };

    explicit CLineParser(CAhrsState& state);

    // Feeds the bytes of one read (up to the first NUL, as the port passes them).
    ChunkResult ProcessChunk(std::string_view text);

    // Clears event `index`: only a banner that arrives afterwards sets it again. A
    // command's wait clears the event when it starts, then looks at IsAckSet.
    void ClearAck(int index);
    bool IsAckSet(int index) const;

    // How many times event `index` has been set since the parser was created.
    unsigned AckSetCount(int index) const;

    // The unfinished text carried to the next chunk (for diagnostics and tests).
    std::string Pending() const;

private:
    // A row of the dispatch table: a line that starts with `keyword` ("" starts every
    // line) is offered to `handler`, which takes it (true) or leaves it to the rows after,
    // and adds the groups it stored to `changed`. A row without a handler marks a keyword
    // that is none of ours although one of ours starts it. See Dispatch.
    using Handler = bool (CLineParser::*)(std::string_view line, CRecordGroups& changed);
    struct Row {
        std::string_view keyword;
        Handler handler;
    };
    static const Row kRows[];

    bool CompleteLine(CRecordGroups& changed);
    bool Dispatch(std::string_view line, CRecordGroups& changed);
    void SetAck(int index);

    // The rows' handlers.
    template <void (CAhrsState::*Set)(double), CRecordGroups::Group Group>
    bool RealRow(std::string_view line, CRecordGroups& changed);
    template <void (CAhrsState::*Set)(const std::string&)>
    bool TextRow(std::string_view line, CRecordGroups& changed);
    template <void (CAhrsState::*Set)(const std::string&)>
    bool SerialRow(std::string_view line, CRecordGroups& changed);
    template <int Index> bool AckRow(std::string_view line, CRecordGroups& changed);
    bool AnLine(std::string_view line, CRecordGroups& changed);
    bool AccelScaleLine(std::string_view line, CRecordGroups& changed);
    bool GyroScaleLine(std::string_view line, CRecordGroups& changed);
    bool IndexedScaleLine(std::string_view line, CRecordGroups& changed);
    bool SensorLine(std::string_view line, CRecordGroups& changed);
    bool AvgHeadingLine(std::string_view line, CRecordGroups& changed);
    bool RawHeadingLine(std::string_view line, CRecordGroups& changed);
    bool LevelLine(std::string_view line, CRecordGroups& changed);
    bool CorrectionLine(std::string_view line, CRecordGroups& changed);
    bool CompassCorrectionLine(std::string_view line, CRecordGroups& changed);
    bool BlkLine(std::string_view line, CRecordGroups& changed);
    bool StatusLine(std::string_view line, CRecordGroups& changed);
    bool MountLine(std::string_view line, CRecordGroups& changed);
    bool ColonLine(std::string_view line, CRecordGroups& changed);
    bool DataLine(std::string_view line, CRecordGroups& changed);

    // Shared by the handlers.
    bool ScaleLine(std::string_view line, bool accel);
    bool HeadingLine(std::string_view line, bool average);

    CAhrsState& state;
    mutable std::mutex parserLock;
    std::string current; // the line being assembled, without its due blank
    bool blankDue = false;
    bool discarding = false; // an overlong line is being skipped up to the next escape
    std::string cleaned;     // scratch buffer for the line being dispatched
    std::array<CManualResetEvent, kAckEventCount> ackEvents;
};
