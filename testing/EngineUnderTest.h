#pragma once

#include "engine/wsmain.h"

namespace engine {

// An engine whose job state (lists, counters, flags, the HTTP component and
// the watchdog) and whose own steps tests and benchmarks may reach directly;
// front ends see only THvxEngine's public operations.
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

    // The engine's own steps, which tests and benchmarks drive one by one.
    using THvxEngine::AddRulesFromList;
    using THvxEngine::ClearAllowedFilesList;
    using THvxEngine::ConfirmFileSave;
    using THvxEngine::CreateObjectLists;
    using THvxEngine::DloadOtherFile;
    using THvxEngine::DownloadHeader;
    using THvxEngine::DownloadOtherFile;
    using THvxEngine::DownloadText;
    using THvxEngine::FetchFailureReason;
    using THvxEngine::Fetching;
    using THvxEngine::GetSrcURLs;
    using THvxEngine::kMaxPageBytes;
    using THvxEngine::kMaxRedirects;
    using THvxEngine::kStallSeconds;
    using THvxEngine::LocalPathOf;
    using THvxEngine::MoveURL;
    using THvxEngine::MoveURLtoErrorList;
    using THvxEngine::PrintAllowedFileElement;
    using THvxEngine::ProcessURLs;
    using THvxEngine::RecordSavedFile;
    using THvxEngine::RestartStallClock;
    using THvxEngine::SavedFiles;
    using THvxEngine::SaveFile;
    using THvxEngine::SaveFolderFailed;
    using THvxEngine::SaveFolderFailure;
    using THvxEngine::SetContentLengthSource;
    using THvxEngine::StopCondition;
    using THvxEngine::Timer1Timer;
    using THvxEngine::UpDateStatus;
    using THvxEngine::URLConfirm;
};

}  // namespace engine
