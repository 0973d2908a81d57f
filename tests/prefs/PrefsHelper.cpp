// The other programs of the shared-preferences tests.
//
//   listen LOG        a running application with both items: every value
//                     message it takes is a line "<item> <value>" in LOG
//                     (after "ready" once it is registered)
//   garbage           writes bytes that are no request, and hostile
//                     requests, to the window's port
//   save LIMIT VALUE  saves VALUE as the accelerator format with the file
//                     size limited to LIMIT bytes; exit status 0 on success
#include <Application.h>
#include <Message.h>
#include <OS.h>
#include <View.h>

#include <IAPs.h>

#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char kSignature[] = "application/x-vnd.VELMOR-PrefsListener";

std::string shown(const std::string& value)
{
    std::string out;
    for (unsigned char c : value) {
        char code[8];
        std::snprintf(code, sizeof code, c < 0x20 ? "\\x%02x" : "%c", c);
        out += code;
    }
    return out;
}

class Listener : public BApplication {
public:
    Listener(const char* log) : BApplication(kSignature), fLog(std::fopen(log, "a"))
    {
        fPrefs.SetAppSignatureRef(kSignature);
        fPrefs.AddItem(new TIAPItemAccKeyFormat());
        fPrefs.AddItem(new TIAPItemFlatToolBar());
    }
    void ReadyToRun() override { Write("ready"); }
    void MessageReceived(BMessage* message) override
    {
        const char* item = nullptr;
        if (message->what != kMsgIAPValue || fPrefs.SetValue(*message) != B_OK
            || message->FindString(kIAPSrcIAPItem, &item) != B_OK)
            return;
        std::string format;
        bool flat = false;
        if (fPrefs.GetString(item, &format) == B_OK)
            Write(std::string(item) + " " + shown(format));
        else if (fPrefs.GetBool(item, &flat) == B_OK)
            Write(std::string(item) + " " + (flat ? "1" : "0"));
    }

private:
    void Write(const std::string& line)
    {
        std::fprintf(fLog, "%s\n", line.c_str());
        std::fflush(fLog);
    }

    FILE* fLog;
    TInterAppPrefs fPrefs;
};

void write_message(port_id port, const BMessage& message, ssize_t cut = -1)
{
    std::vector<char> bytes(size_t(message.FlattenedSize()));
    message.Flatten(bytes.data(), ssize_t(bytes.size()));
    size_t size = cut >= 0 ? size_t(cut) : bytes.size();
    write_port(port, 0, bytes.data(), size);
}

BMessage view_archive(const char* name, BRect frame)
{
    BMessage archive;
    archive.AddString("class", "BView");
    archive.AddString("_name", name);
    archive.AddRect("_frame", frame);
    return archive;
}

BMessage request_with(const char* name, const BMessage& component)
{
    BMessage request(kMsgIAPAddComponents);
    for (int i = 0; i < 3; i++)
        request.AddMessage(name, &component);
    return request;
}

int garbage()
{
    port_id port = find_port(kIAPPortName);
    if (port < 0)
        return 1;
    // Bytes that are no message at all.
    write_port(port, 0, nullptr, 0);
    write_port(port, 7, "VMSG\x01\x00\x30\x00garbage", 15);
    std::vector<char> noise(4096);
    uint32 seed = 12345;
    for (char& c : noise)
        c = char((seed = seed * 1103515245 + 12345) >> 16);
    write_port(port, 0, noise.data(), noise.size());
    // A request cut short, and messages that are no request.
    TInterAppPrefs prefs;
    prefs.SetAppSignatureRef("application/x-vnd.VELMOR-Stranger");
    prefs.AddItem(new TIAPItemFlatToolBar());
    BView* view = nullptr;
    TIAPItemFlatToolBar item;
    item.MakeConfigurationView(&view, false);
    BMessage component;
    view->Archive(&component, true);
    delete view;
    write_message(port, request_with("FlatToolBar", component), 40);
    write_message(port, BMessage(0x5F64666C));   // '_dfl': Defaults
    write_message(port, BMessage(0x005F6F6B));   // '_ok'
    // Requests with archives no item sends.
    BMessage unknown;
    unknown.AddString("class", "TNoSuchView");
    write_message(port, request_with("Unknown", unknown));
    BMessage missing(kMsgIAPAddComponents);
    missing.AddMessage("Missing", &unknown);
    BMessage empty;
    missing.AddMessage("Empty", &empty);
    missing.AddInt32("NotAMessage", 3);
    write_message(port, missing);
    write_message(port, request_with("Huge", view_archive("Huge", BRect(0, 0, 1e30f, 1e30f))));
    write_message(port, request_with("NaN", view_archive("NaN", BRect(0, 0, NAN, 20))));
    write_message(port, request_with("Tall", view_archive("Tall", BRect(0, 0, 100, 5000))));
    BMessage deep = view_archive("Deep", BRect(0, 0, 10, 10));
    for (int i = 0; i < 50; i++) {
        BMessage outer = view_archive("Deep", BRect(0, 0, 10, 10));
        outer.AddMessage("_views", &deep);
        deep = outer;
    }
    write_message(port, request_with("Deep", deep));
    BMessage wide = view_archive("Wide", BRect(0, 0, 100, 20));
    for (int i = 0; i < 500; i++) {
        BMessage child = view_archive("w", BRect(0, 0, 1, 1));
        wide.AddMessage("_views", &child);
    }
    write_message(port, request_with("Wide", wide));
    BMessage many(kMsgIAPAddComponents);
    for (int i = 0; i < 200; i++) {
        BMessage tall = view_archive("Many", BRect(0, 0, 100, 2000 + i));
        many.AddMessage(("Many" + std::to_string(i)).c_str(), &tall);
    }
    write_message(port, many);
    return 0;
}

int save(const char* limit, const char* value)
{
    signal(SIGXFSZ, SIG_IGN);
    rlimit size = {rlim_t(std::atol(limit)), rlim_t(std::atol(limit))};
    setrlimit(RLIMIT_FSIZE, &size);
    TIAPItemAccKeyFormat item;
    item.SetAppSignatureRef(kSignature);
    return item.SaveString(value) == B_OK ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "listen" && argc == 3) {
        // Ends with the test, however the test ends.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        Listener listener(argv[2]);
        listener.Run();
        return 0;
    }
    if (mode == "garbage")
        return garbage();
    if (mode == "save" && argc == 4)
        return save(argv[2], argv[3]);
    std::fprintf(stderr, "usage: prefs_helper listen LOG | garbage | save LIMIT VALUE\n");
    return 2;
}
