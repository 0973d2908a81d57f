// Helper program of the messaging tests: the other process of the tests
// that need two. Writes what it does to standard output, one line each.
//
//   own-port NAME CAPACITY   create a port, print "port ID", wait to be killed
//   fill ID COUNT            COUNT blocking writes ("wrote I STATUS"), one
//                            with time-out 0 ("nonblocking STATUS"), then
//                            one more blocking write ("last STATUS")
//   write ID CODE TEXT       one write, "status STATUS"
//   app SIGNATURE            an application: "ready PORT" when it runs,
//                            "got WHAT TEXT" per message, "bye" at the end
//   broadcast WHAT TEXT      BRoster::Broadcast, "status STATUS"
#include <Application.h>
#include <Message.h>
#include <OS.h>
#include <Roster.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

namespace {

void say(const std::string& line)
{
    printf("%s\n", line.c_str());
    fflush(stdout);
}

uint32 code_of(const char* text)
{
    uint32 code = 0;
    for (int i = 0; i < 4 && text[i] != '\0'; i++)
        code = (code << 8) | static_cast<uint8>(text[i]);
    return code;
}

std::string text_of(uint32 code)
{
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8)
        text += static_cast<char>((code >> shift) & 0xff);
    return text;
}

class HelperApp : public BApplication {
public:
    explicit HelperApp(const char* signature) : BApplication(signature) {}

    void ReadyToRun() override
    {
        app_info info;
        GetAppInfo(&info);
        say("ready " + std::to_string(info.port));
    }

    bool QuitRequested() override
    {
        BMessage* message = CurrentMessage();
        say(std::string("quit requested ") + (message && message->IsSourceRemote() ? "remote" : "local"));
        return true;
    }

    void MessageReceived(BMessage* message) override
    {
        const char* text = "";
        message->FindString("text", &text);
        say("got " + text_of(message->what) + " " + text);
        if (message->what == code_of("echo"))
            message->SendReply(code_of("rply"));
        if (message->what == code_of("hang")) {   // never handles another message
            for (;;)
                pause();
        }
    }
};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    std::string mode = argv[1];
    if (mode == "own-port" && argc == 4) {
        port_id port = create_port(atoi(argv[3]), argv[2]);
        say("port " + std::to_string(port));
        for (;;)
            pause();
    }
    if (mode == "fill" && argc == 4) {
        port_id port = atoi(argv[2]);
        int count = atoi(argv[3]);
        for (int i = 0; i < count; i++) {
            status_t status = write_port(port, i, &i, sizeof i);
            say("wrote " + std::to_string(i) + " " + std::to_string(status));
        }
        int extra = count;
        say("nonblocking " + std::to_string(write_port_etc(port, extra, &extra, sizeof extra,
                                                           B_RELATIVE_TIMEOUT, 0)));
        say("last " + std::to_string(write_port(port, extra, &extra, sizeof extra)));
        return 0;
    }
    if (mode == "write" && argc == 5) {
        status_t status = write_port(atoi(argv[2]), atoi(argv[3]), argv[4], strlen(argv[4]));
        say("status " + std::to_string(status));
        return 0;
    }
    if (mode == "app" && argc == 3) {
        HelperApp app(argv[2]);
        if (app.InitCheck() != B_OK) {
            say("init " + std::to_string(app.InitCheck()));
            return 1;
        }
        app.Run();
        say("bye");
        return 0;
    }
    if (mode == "broadcast" && argc == 4) {
        BMessage message(code_of(argv[2]));
        message.AddString("text", argv[3]);
        say("status " + std::to_string(be_roster->Broadcast(&message)));
        return 0;
    }
    return 2;
}
