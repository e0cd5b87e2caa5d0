// KVR516_UPDATE, GPL-3.0-or-later.
#pragma once

#include "resources/EmbeddedData.h"

#include <juce_graphics/juce_graphics.h>

#include <memory>

// Decodes the compiled-in logo once and keeps it. One instance per process,
// used on the message thread only.
class ImageLoader
{
public:
    static ImageLoader* getInstance();
    static void deleteInstance();

    // The entries that later instances decode; null gives back imageTable.
    // For tests, before getInstance. The entries must outlive the instance.
    static void setImageSource(const EmbeddedData* entries);

    // Image 0 is the logo; null for any other index or when decoding failed.
    const juce::Image* getImage(int index) const;

    virtual ~ImageLoader();

    // Decodes one entry through JUCE's image cache (PNG and the other formats
    // JUCE reads), else as an uncompressed 24- or 32-bit bottom-up Windows
    // bitmap whose pixels start at byte 54. A null image when neither works.
    static juce::Image loadImage(const EmbeddedData& entry);

private:
    ImageLoader();

    std::unique_ptr<juce::Image> images[1];

    JUCE_DECLARE_NON_COPYABLE(ImageLoader)
};
