// KVR516_UPDATE, GPL-3.0-or-later.
#include "app/Application.h"

#include "app/ExitCode.h"
#include "app/MainWindow.h"
#include "app/ProgramVersion.h"
#include "app/RunReport.h"
#include "platform/ForegroundPermission.h"
#include "record/DiagnosticLog.h"
#include "record/RunRecord.h"
#include "ui/MainComponent.h"

Application::Application(const CommandLine::Settings& s, const RetryList::List& r)
    : settings(s), retry(r)
{
}

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

    if (!retry.addresses.isEmpty())
        DiagnosticLog::line("a second try for " + retry.addresses.joinIntoString(", ") +
                            " (--retry " + settings.retryPath + ")");

    repaintPump.start();
    mainWindow = std::make_unique<MainWindow>(settings, retry);
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
        RunReport::writeAlreadyRunning(settings.reportPath, started, settings.programFile,
                                       settings.mixers, 0);
        return;
    }

    mainWindow->stopUpdate();
    const MainComponent& content = mainWindow->getContent();
    if (content.hasRefusedTheFile())
        setApplicationReturnValue(ExitCode::badCommandLine);
    else
        writeReport();
    // The window's component stops every thread of the update: the record's
    // closing line comes after its last line.
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

// The report of the window's run (--report): what it came to, though the
// window itself ends with 0. A report that cannot be written is logged.
void Application::writeReport() const
{
    if (settings.reportPath.isEmpty())
        return;
    const MainComponent& content = mainWindow->getContent();
    const UpdateProcedure& procedure = content.getProcedure();
    const MixersOutcome mixers =
        content.hasSeveralMixers() ? content.getMixersOutcome() : MixersOutcome::of(procedure);
    const ExitCode::Code outcome = ExitCode::ofWindow(
        content.getLastStage(), procedure.getResult(), procedure.isDeliveryUnconfirmed(),
        content.hasSeveralMixers() ? &mixers : nullptr);
    const juce::Result written = RunReport::writeAtEnd(settings.reportPath, procedure, mixers,
                                                       started, outcome, 0, retry.entries);
    if (written.failed())
        DiagnosticLog::line(written.getErrorMessage());
}

void Application::textFromAnotherCopy(const juce::String& text)
{
    const juce::String prefix = getApplicationName() + "/";
    if (text.startsWith(prefix))
        anotherInstanceStarted(text.substring(prefix.length()));
}
