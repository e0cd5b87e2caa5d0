// KVR516_UPDATE, GPL-3.0-or-later.
#include "update/MixerIntake.h"

MixerIntake::Decision MixerIntake::admit(const juce::String& address,
                                         const std::vector<MixerDelivery::Report>& mixers,
                                         int wanted, const juce::StringArray& onlyFrom)
{
    Decision d;
    if (!onlyFrom.isEmpty() && !onlyFrom.contains(address))
    {
        d.place = mixers.size();
        d.why = "not one of the mixers asked for";
        return d;
    }
    for (std::size_t i = 0; i < mixers.size(); ++i)
    {
        const MixerDelivery::Report& m = mixers[i];
        if (m.address != address)
            continue;
        d.place = i;
        if (!m.ended)
            d.why = "that mixer's delivery is under way";
        else if (m.result == StageResult::success)
            d.why = "that mixer has its file already";
        else
        {
            d.admission = Admission::nextTry;
            d.attempt = m.attempt + 1;
        }
        return d;
    }
    d.place = mixers.size();
    if (static_cast<int>(mixers.size()) < wanted)
        d.admission = Admission::newMixer;
    else
    {
        d.why = "every mixer asked for has come";
        d.allCame = true;
    }
    return d;
}
