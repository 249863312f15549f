#pragma once
// Switches: CToggleInputElement (two states with a lamp), CRoundButtonToggle (the same drawn as
// a button beside its lamp) and CMultiSwitchInputElement (two or more named positions).
//
// Threading: as CDataInputElement.

#include "dsp/CDataInputElement.h"

#include <string>
#include <vector>

class CToggleInputElement : public CDataInputElement {
public:
    static constexpr int kBlinkTicks = 5; // lamp phase changes every fifth tick

    CToggleInputElement(const std::string& label, const std::string& label2, float value, bool blinking = false,
                        bool invertedLamp = false);

    void Tick() override;
    void Redraw() override;

    bool On() const { return Value() >= 0.5f; }
    // The lamp as drawn now.
    bool LampLit() const;
    bool Blinking() const { return m_blinking; }
    bool BlinkPhaseLit() const { return m_blinkLit; }
    const std::string& Label() const { return m_label; }

    int buttonImage = 0;

protected:
    void Press(int x, int y) override;
    void PaintLabel() override;

    bool m_blinking;
    bool m_blinkLit = true;
    int m_blinkCounter = 0;
    std::string m_label, m_label2;
    bool m_invertedLamp;
};

class CRoundButtonToggle : public CToggleInputElement {
public:
    using CToggleInputElement::CToggleInputElement;
    void Redraw() override;
};

class CMultiSwitchInputElement : public CDataInputElement {
public:
    CMultiSwitchInputElement(const std::vector<std::string>& positions, float value);

    void Redraw() override;
    int Positions() const { return static_cast<int>(m_labels.size()); }
    // The selected position, 0 to Positions() − 1.
    int Selected() const;
    // Which position's lamp is lit; −1 while greyed.
    int LitPosition() const { return m_greyed ? -1 : Selected(); }

protected:
    void Press(int x, int y) override;
    void PaintLabel() override;

    std::vector<std::string> m_labels;
    int m_labelDx, m_labelDy;
};
