// App kit: BApplication, the process's application looper, and be_app.
//
// The application has a port through which other processes reach it
// (BMessenger by signature, BRoster::Broadcast) and is registered with the
// roster from construction to destruction. Run runs the message loop on
// the calling thread and returns once the application quits; messages
// that arrive before Run wait for it. Quit from any thread ends Run after
// the current message; the object stays until its owner deletes it.
#pragma once

#include <SupportDefs.h>
#include <Looper.h>
#include <Messenger.h>
#include <Roster.h>

#include <string>

class BWindow;

class BApplication : public BLooper {
public:
    // The signature must be "application/..." (B_BAD_VALUE otherwise); a
    // second BApplication in one process fails with B_NOT_ALLOWED.
    explicit BApplication(const char* signature);
    BApplication(const char* signature, status_t* error);
    virtual ~BApplication();

    status_t InitCheck() const { return fInitStatus; }
    const char* Signature() const { return fSignature.c_str(); }

    thread_id Run() override;
    void Quit() override;
    bool QuitRequested() override;
    virtual void ReadyToRun();
    void DispatchMessage(BMessage* message, BHandler* handler) override;

    status_t GetAppInfo(app_info* info) const;

    // The process's windows, in the order they were made.
    int32 CountWindows() const;
    BWindow* WindowAt(int32 index) const;

private:
    void Init(const char* signature);
    static status_t ReadPort(void* data);

    std::string fSignature;
    status_t fInitStatus;
    port_id fPort;
    thread_id fReader;
    thread_id fMainThread;
};

extern BApplication* be_app;
extern BMessenger be_app_messenger;
