// KVR516_UPDATE, GPL-3.0-or-later.
// GoogleTest first: the X11 headers define None and Bool, which it declares.
#include <gtest/gtest.h>

// JUCE's X11 declarations (its display connection) come with its module header.
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include "app/RepaintPump.h"
#include "support/MessagePump.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/prctl.h>
#include <unistd.h>

namespace
{
// An X server of this test process's own (Xvfb), which ends with the process,
// after JUCE has let go of it; kept as it is when its last client goes. Returns
// its display name, empty when it did not start within 20 s.
std::string startXServer()
{
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0)
        return {};

    const pid_t parent = ::getpid();
    const pid_t child = ::fork();
    if (child == 0)
    {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(1);
        const int displayFd = ::dup(ready[1]); // without close-on-exec
        const int nothing = ::open("/dev/null", O_WRONLY);
        ::dup2(nothing, STDOUT_FILENO);
        ::dup2(nothing, STDERR_FILENO);
        const std::string fd = std::to_string(displayFd);
        ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "640x480x24",
                 "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(ready[1]);
    if (child < 0)
    {
        ::close(ready[0]);
        return {};
    }

    std::string number;
    pollfd readable{ready[0], POLLIN, 0};
    char c = 0;
    while (::poll(&readable, 1, 20000) == 1 && ::read(ready[0], &c, 1) == 1 && c != '\n')
        number += c;
    ::close(ready[0]);
    return c == '\n' && !number.empty() ? ":" + number : std::string();
}

// A window that counts the close requests it is given.
struct ClosableWindow : public juce::Component
{
    void userTriedToCloseWindow() override { ++closeRequests; }
    int closeRequests = 0;
};

// Another client asks the window to close, as a window manager's close button
// does.
bool sendCloseRequest(::Window window)
{
    ::Display* other = XOpenDisplay(nullptr);
    if (other == nullptr)
        return false;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(other, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(other, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const Status sent = XSendEvent(other, window, False, NoEventMask, &event);
    XSync(other, False);
    XCloseDisplay(other);
    return sent != 0;
}

// The atoms that a window manager makes exist before JUCE looks them up: it
// takes close requests only with them, and reads a window's state by them.
bool makeWindowManagerAtoms()
{
    ::Display* other = XOpenDisplay(nullptr);
    if (other == nullptr)
        return false;
    for (const char* name : {"WM_PROTOCOLS", "WM_DELETE_WINDOW", "WM_TAKE_FOCUS", "WM_STATE"})
        XInternAtom(other, name, False);
    XSync(other, False);
    XCloseDisplay(other);
    return true;
}
} // namespace

// A close request that JUCE's own connection has read into Xlib's queue while
// waiting for a reply reaches the window: the socket it came through is empty
// by then, and no other event follows it.
TEST(RepaintPump, HandsOnXEventsThatWaitInXlibsQueue)
{
    const std::string display = startXServer();
    ASSERT_FALSE(display.empty()) << "Xvfb did not start (scripts/deps.sh installs it)";
    ::setenv("DISPLAY", display.c_str(), 1);
    ASSERT_TRUE(makeWindowManagerAtoms());

    RepaintPump pump;
    pump.start();

    // Not shown: a hidden window gets no exposure or other event of its own
    // that would make the socket readable again.
    ClosableWindow window;
    window.setSize(200, 100);
    window.addToDesktop(0);
    auto* peer = window.getPeer();
    ASSERT_NE(peer, nullptr);
    const auto handle = reinterpret_cast<::Window>(peer->getNativeHandle());

    ASSERT_TRUE(sendCloseRequest(handle));
    ::Display* juceDisplay = juce::XWindowSystem::getInstance()->getDisplay();
    ASSERT_NE(juceDisplay, nullptr);
    {
        // A round trip on JUCE's connection, as its repaint timer and its
        // toFront make: the request arrives in Xlib's queue.
        const juce::XWindowSystemUtilities::ScopedXLock lock;
        XSync(juceDisplay, False);
        ASSERT_GT(XEventsQueued(juceDisplay, QueuedAlready), 0);
    }

    EXPECT_TRUE(MessagePump::until([&] { return window.closeRequests > 0; }, 5000));
    EXPECT_EQ(window.closeRequests, 1);

    pump.stop();
    window.removeFromDesktop();
}
