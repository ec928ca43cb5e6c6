#pragma once

#include "engine/wsmain.h"

namespace engine {

// An engine whose job state (lists, counters, flags, the HTTP component and
// the watchdog) tests and benchmarks may read and set directly; front ends
// see only THvxEngine's public operations.
class EngineUnderTest final : public THvxEngine {
public:
    using THvxEngine::THvxEngine;

    using THvxEngine::AllowedFilesList;
    using THvxEngine::bHalted;
    using THvxEngine::bRuleChanged;
    using THvxEngine::bStop;
    using THvxEngine::bTimedOut;
    using THvxEngine::ErrorList;
    using THvxEngine::iDataTime;
    using THvxEngine::iDiskFree;
    using THvxEngine::iFileBytes;
    using THvxEngine::iQueued;
    using THvxEngine::iStartTime;
    using THvxEngine::iTotalBytes;
    using THvxEngine::MemoDownload;
    using THvxEngine::ProcessedList;
    using THvxEngine::QueueList;
    using THvxEngine::SavedList;
    using THvxEngine::sGraphicTypes;
    using THvxEngine::sStatus;
    using THvxEngine::sTextTypes;
    using THvxEngine::TagList;
    using THvxEngine::Timer1;
    using THvxEngine::Web1;
};

}  // namespace engine
