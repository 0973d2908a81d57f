// The add-on's start-up: its record, the one-time start-up that loads its
// dictionary and the codec library, and how it finds its own file.
#pragma once

#include <String.h>
#include <SupportDefs.h>
#include <image.h>

#include <atomic>
#include <mutex>

class TSPAPEAppPrivacy {
public:
    TSPAPEAppPrivacy() = default;
    TSPAPEAppPrivacy(const TSPAPEAppPrivacy&) = delete;
    TSPAPEAppPrivacy& operator=(const TSPAPEAppPrivacy&) = delete;

    // 0 once the start-up has succeeded, -1 before.
    int32 InitCheck() const { return fInitStatus.load(); }
    void SetInitCheck(int32 status) { fInitStatus.store(status); }

    image_id* CodecImage() { return &fCodecImage; }

    // True while a dictionary load is under way, on any thread.
    bool IsLoadingLanguage() const { return fLoadingLanguage.load() > 0; }
    void BeginLoadingLanguage() { fLoadingLanguage++; }
    void EndLoadingLanguage() { fLoadingLanguage--; }

    // Held by init_if_needed: player threads that offer files at the same
    // moment run the start-up one after the other.
    std::mutex& StartupLock() { return fStartupLock; }

private:
    // Loads in progress: the about window's thread can reload while a
    // player thread starts up.
    std::atomic<int32> fLoadingLanguage{0};
    image_id fCodecImage = -1;
    std::atomic<int32> fInitStatus{-1};
    std::mutex fStartupLock;
};

class TInterAppPrefs;

extern TSPAPEAppPrivacy gAppPrivacy;
// The add-on's shared preference store; it gets the add-on's signature at
// start-up.
extern TInterAppPrefs gIAPs;

// 0 when the add-on is ready (dictionary, codec library loaded, resolved
// and at least version 1.4), -1 otherwise. A failed start-up is tried
// again on the next call; a library that was loaded but refused is
// unloaded first, so that a newer one put in its place is the one loaded.
int32 init_if_needed();

// The path of the add-on's own file, or empty when it cannot be told.
BString file_name_orvane();

// Loads (or reloads) "Language/Dictionaries/Orvane" beside the add-on.
void load_language();

// Returns once no dictionary load is under way; sleeps at least once.
void wait_for_loading_language();
