// KVR516_UPDATE, GPL-3.0-or-later.
#include "app/Application.h"

#include "app/MainWindow.h"
#include "app/ProgramVersion.h"
#include "platform/ForegroundPermission.h"
#include "record/RunRecord.h"

Application::Application(const juce::File& f, int m) : programFile(f), mixers(m) {}

Application::~Application() = default;

void Application::initialise(const juce::String&)
{
    initialised = true;
    juce::LookAndFeel::setDefaultLookAndFeel(&lookAndFeel);

    // Only the copy that holds the single-instance lock gets here: a second
    // copy that gives way adds nothing to the run's record.
    RunRecord::open(RunRecord::defaultFolder(), ProgramVersion::text());

    instanceChannel = std::make_unique<InstanceChannel>([this](const juce::String& text)
                                                        { textFromAnotherCopy(text); });
    instanceChannel->listen(InstanceChannel::pipePathFor(getApplicationName()));

    repaintPump.start();
    mainWindow = std::make_unique<MainWindow>(programFile, mixers);
}

void Application::shutdown()
{
    if (!initialised)
    {
        // The framework found the lock taken: this is a second copy. Its
        // broadcast to the running copy does not reach it on every platform,
        // so the same text goes through the instance channel as well.
        InstanceChannel::send(InstanceChannel::pipePathFor(getApplicationName()),
                              getApplicationName() + "/" + getCommandLineParameters(), 1000);
        return;
    }

    // The window's component has stopped every thread of the update: the
    // record's closing line comes after its last line.
    mainWindow.reset();
    RunRecord::close();
    repaintPump.stop();
    instanceChannel.reset();
    juce::LookAndFeel::setDefaultLookAndFeel(nullptr);
}

const juce::String Application::getApplicationName()
{
    return JUCE_APPLICATION_NAME_STRING;
}

const juce::String Application::getApplicationVersion()
{
    return "1.0";
}

bool Application::moreThanOneInstanceAllowed()
{
    // Asked before the single-instance lock is tried: whichever copy runs may
    // then bring its window forward when a second one starts.
    ForegroundPermission::allowAnyProcess();
    return false;
}

void Application::anotherInstanceStarted(const juce::String&)
{
    if (mainWindow != nullptr && mainWindow->isVisible())
        mainWindow->toFront(true);
}

void Application::textFromAnotherCopy(const juce::String& text)
{
    const juce::String prefix = getApplicationName() + "/";
    if (text.startsWith(prefix))
        anotherInstanceStarted(text.substring(prefix.length()));
}
