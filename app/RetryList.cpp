// KVR516_UPDATE, GPL-3.0-or-later.
#include "app/RetryList.h"

#include "app/CommandLine.h"
#include "app/RunReport.h"

namespace
{
const char* const keys[] = {"report_version", "program",   "started", "ended", "file",
                            "mixers_asked",   "exit_code", "outcome", "mixers"};
const char* const mixerKeys[] = {
    "address", "outcome", "code", "message", "bytes_sent", "bytes_acknowledged", "seconds", "try"};
const char* const verdicts[] = {"finished", "unconfirmed", "failed", "cancelled", "turned away"};

// The first of names that object lacks; empty when it has them all.
template <std::size_t n>
juce::String missing(const juce::var& object, const char* const (&names)[n])
{
    for (const char* name : names)
        if (!object.hasProperty(name))
            return name;
    return {};
}

bool isSha256(const juce::var& v)
{
    const juce::String s = v.toString();
    return v.isString() && s.length() == 64 && s.containsOnly("0123456789abcdef");
}

// An IPv4 address as the program writes it: four numbers from 0 to 255.
bool isAddress(const juce::String& s)
{
    const juce::StringArray parts = juce::StringArray::fromTokens(s, ".", "");
    if (parts.size() != 4)
        return false;
    for (const juce::String& p : parts)
        if (p.isEmpty() || p.length() > 3 || !p.containsOnly("0123456789") || p.getIntValue() > 255)
            return false;
    return true;
}

RetryList::List refused(const juce::String& why)
{
    RetryList::List list;
    list.error = why;
    return list;
}
} // namespace

RetryList::List RetryList::read(const juce::String& path)
{
    const juce::File file = juce::File::getCurrentWorkingDirectory().getChildFile(path);
    const juce::String named = "--retry \"" + path + "\": ";
    if (path.isEmpty() || file.isDirectory())
        return refused(named + "not a file");
    if (!file.existsAsFile())
        return refused(named + "no such file");
    if (file.getSize() > maxBytes)
        return refused(named + "larger than " + juce::String(maxBytes / 1024 / 1024) +
                       " MiB, no report");
    juce::MemoryBlock bytes;
    if (!file.loadFileAsData(bytes))
        return refused(named + "cannot be read");
    if (bytes.getSize() > static_cast<std::size_t>(maxBytes)) // grown since
        return refused(named + "larger than 1 MiB, no report");
    if (!juce::CharPointer_UTF8::isValidString(static_cast<const char*>(bytes.getData()),
                                               static_cast<int>(bytes.getSize())))
        return refused(named + "not UTF-8 text");
    List list = of(bytes.toString());
    if (list.error.isNotEmpty())
        list.error = named + list.error;
    return list;
}

RetryList::List RetryList::of(const juce::String& text)
{
    juce::var report;
    const juce::Result parsed = juce::JSON::parse(text, report);
    if (parsed.failed())
        return refused("not JSON, or cut short (" + parsed.getErrorMessage() + ")");
    if (report.getDynamicObject() == nullptr)
        return refused("not a report (no JSON object)");
    if (!report["report_version"].isInt() ||
        static_cast<int>(report["report_version"]) != RunReport::version)
        return refused("report_version is not " + juce::String(RunReport::version));
    if (const juce::String key = missing(report, keys); key.isNotEmpty())
        return refused("the key \"" + key + "\" is missing");
    if (!isSha256(report["file"]["sha256"]))
        return refused("file.sha256 is not 64 lower-case hex digits");
    const juce::Array<juce::var>* mixers = report["mixers"].getArray();
    if (mixers == nullptr)
        return refused("mixers is not a list");

    List list;
    list.sha256 = report["file"]["sha256"].toString();
    for (int i = 0; i < mixers->size(); ++i)
    {
        const juce::var& m = mixers->getReference(i);
        const juce::String which = "mixers[" + juce::String(i) + "]";
        if (m.getDynamicObject() == nullptr)
            return refused(which + " is not an object");
        if (const juce::String key = missing(m, mixerKeys); key.isNotEmpty())
            return refused("the key \"" + key + "\" is missing from " + which);
        const juce::String address = m["address"].toString();
        const juce::String outcome = m["outcome"].toString();
        if (!m["address"].isString() || !isAddress(address))
            return refused(which + ".address is not an IPv4 address");
        if (!m["outcome"].isString() ||
            !juce::StringArray(verdicts, juce::numElementsInArray(verdicts)).contains(outcome))
            return refused(which + ".outcome is not one of " +
                           juce::StringArray(verdicts, juce::numElementsInArray(verdicts))
                               .joinIntoString(", "));
        if ((outcome == "failed" || outcome == "cancelled") && !list.addresses.contains(address))
        {
            list.addresses.add(address);
            list.entries.add(m);
        }
    }
    if (list.addresses.size() > CommandLine::maxMixers)
        return refused("more mixers to try again than the " + juce::String(CommandLine::maxMixers) +
                       " a run sends to");
    return list;
}

juce::String RetryList::whyNotTheFile(const List& list, const juce::File& file,
                                      const juce::String& checkedSha256)
{
    if (checkedSha256 == list.sha256)
        return {};
    return "--retry: the update file " + file.getFullPathName() +
           " is not the one the report's mixers were sent (its SHA-256 is " +
           (checkedSha256.isEmpty() ? juce::String("unknown") : checkedSha256) + ", the report's " +
           list.sha256 + ")";
}
