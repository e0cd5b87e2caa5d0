// KVR516_UPDATE, GPL-3.0-or-later.
// Renders the program's look into a PNG from its own classes: the language
// screen and the introduction in English (top row) and Japanese (bottom row),
// the language screen with its selector's list open.
// Usage: kvr_render_preview docs/appearance.png
#include "resources/AlineButton.h"
#include "resources/BtnLookAndFeel.h"
#include "resources/ImageLoader.h"
#include "resources/LangLookAndFeel.h"
#include "resources/TxtLoader.h"
#include "resources/TypefaceLookAndFeel.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <iostream>

namespace
{
const juce::Colour background(0xFFEFEBDE);
constexpr int screenWidth = 480;
constexpr int screenHeight = 215;

// One screen of the main window, laid out as the main screen lays it out.
class Screen : public juce::Component
{
public:
    Screen(int message, int leftText, int rightText, bool withSelector)
    {
        auto* texts = TxtLoader::getInstance();
        TypefaceLookAndFeel::setDefaultSansSerifName(texts->getCurrentFontName());

        if (withSelector)
        {
            for (int i = 0; i < texts->getLanguageCount(); ++i)
                langs.addItem(texts->getLanguageName(i), i + 1);
            langs.setSelectedId(texts->getLanguage() + 1, juce::dontSendNotification);
            langs.setLookAndFeel(&langLookAndFeel);
            langs.setBounds(280, 140, 190, 24);
            addAndMakeVisible(langs);
        }

        messageLabel.setFont(juce::Font(12.8f));
        messageLabel.setJustificationType(juce::Justification::topLeft);
        messageLabel.setText(texts->getString(message), juce::dontSendNotification);
        messageLabel.setBounds(80, 20, 390, 110);
        addAndMakeVisible(messageLabel);

        int x = 220;
        for (auto* button : {&button1, &button2})
        {
            button->setFontStyle(juce::Font::bold);
            button->setColour(juce::TextButton::buttonColourId, background);
            button->setColour(juce::TextButton::buttonOnColourId, background);
            button->setConnectedEdges(15);
            button->setLookAndFeel(&btnLookAndFeel);
            button->setFontName(texts->getCurrentFontName());
            button->setBounds(x, 185, 120, 24);
            addAndMakeVisible(button);
            x += 130;
        }
        button1.setText(texts->getString(leftText));
        button2.setText(texts->getString(rightText));

        setSize(screenWidth, screenHeight);
    }

    ~Screen() override
    {
        langs.setLookAndFeel(nullptr);
        button1.setLookAndFeel(nullptr);
        button2.setLookAndFeel(nullptr);
    }

    void paint(juce::Graphics& g) override
    {
        g.fillAll(background);
        if (const auto* logo = ImageLoader::getInstance()->getImage(0))
            g.drawImageAt(*logo, 20, 15);
    }

    // The selector's list as it opens above the selector (there is no room
    // below it near the bottom of a screen), second item under the mouse.
    void paintOpenList(juce::Graphics& g)
    {
        auto* texts = TxtLoader::getInstance();
        const int items = texts->getLanguageCount();
        const int itemHeight = 22;
        const juce::Rectangle<int> list(280, 140 - (items * itemHeight + 2), 190,
                                        items * itemHeight + 2);
        g.setColour(langLookAndFeel.findColour(juce::PopupMenu::backgroundColourId));
        g.fillRect(list);
        g.setColour(juce::Colours::grey);
        g.drawRect(list);

        for (int i = 0; i < items; ++i)
        {
            const juce::Rectangle<int> area(list.getX() + 1, list.getY() + 1 + i * itemHeight,
                                            list.getWidth() - 2, itemHeight);
            juce::Graphics::ScopedSaveState state(g);
            g.reduceClipRegion(area);
            langLookAndFeel.drawPopupMenuItem(g, area, false, true, i == 1,
                                              i == texts->getLanguage(), false,
                                              texts->getLanguageName(i), {}, nullptr, nullptr);
        }
    }

private:
    LangLookAndFeel langLookAndFeel;
    BtnLookAndFeel btnLookAndFeel;
    juce::ComboBox langs{"langs"};
    juce::Label messageLabel{"Message Label"};
    AlineButton button1{"button1"};
    AlineButton button2{"button2"};
};

juce::Image renderScreen(int message, int leftText, int rightText, bool withSelector)
{
    Screen screen(message, leftText, rightText, withSelector);
    auto image = screen.createComponentSnapshot(screen.getLocalBounds(), true, 1.0f);
    if (withSelector)
    {
        juce::Graphics g(image);
        screen.paintOpenList(g);
    }
    return image;
}
} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2)
    {
        std::cerr << "usage: kvr_render_preview output.png\n";
        return 2;
    }

    juce::ScopedJuceInitialiser_GUI juce;
    TypefaceLookAndFeel typefaces;
    juce::LookAndFeel::setDefaultLookAndFeel(&typefaces);

    // One row per language.
    auto* texts = TxtLoader::getInstance();
    const int rows = texts->getLanguageCount();
    const int gap = 10;
    juce::Image sheet(juce::Image::RGB, 2 * screenWidth + 3 * gap,
                      rows * screenHeight + (rows + 1) * gap, true);
    {
        juce::Graphics g(sheet);
        g.fillAll(juce::Colour(0xFF808080));

        for (int language = 0; language < rows; ++language)
        {
            texts->setLanguage(language);
            const int y = gap + language * (screenHeight + gap);
            g.drawImageAt(renderScreen(6, 2, 4, true), gap, y);
            g.drawImageAt(renderScreen(7, 3, 5, false), 2 * gap + screenWidth, y);
        }
    }

    TxtLoader::deleteInstance();
    ImageLoader::deleteInstance();
    juce::LookAndFeel::setDefaultLookAndFeel(nullptr);

    juce::File output = juce::File::getCurrentWorkingDirectory().getChildFile(argv[1]);
    output.deleteFile();
    juce::FileOutputStream stream(output);
    juce::PNGImageFormat png;
    if (!stream.openedOk() || !png.writeImageToStream(sheet, stream))
    {
        std::cerr << "cannot write " << output.getFullPathName() << "\n";
        return 1;
    }
    return 0;
}
