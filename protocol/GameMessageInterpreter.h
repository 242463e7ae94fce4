// Turns the game board's text stream into board lights, panel texts and sounds.
// Owned by the adapter driver window, which feeds it each read's text; plain C++.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

class CGameEvents;
class IQuadoBoard;
class ISoundPlayer;

class CGameMessageInterpreter {
public:
    // A board line is a few characters; a line longer than this is noise from a
    // board that never sends its line feed, and is dropped whole at its line feed.
    static constexpr std::size_t MaxLineLength = 4096;

    // ppView is the address of the frame's view pointer, read at each use so a
    // view created or destroyed later is seen; any link may be null.
    void SetLinks(IQuadoBoard** ppView, const bool* pbMute, ISoundPlayer* pSoundPlayer);
    // Where what the lines mean for a game is told; may be null.
    void SetEvents(CGameEvents* pEvents) { m_pEvents = pEvents; }

    // One read's text, carriage returns already removed. Stops at the first
    // zero character; every line feed interprets the line collected so far.
    void AssembleLines(std::wstring_view text);

    // Acts on the collected line and always leaves it empty.
    void InterpretLine();

    // Stops a colour tone this interpreter started and still plays (its
    // connection ended, so no line will stop it); any other sound plays on.
    void StopTone();

    const std::wstring& GetPendingLine() const { return m_strLine; }
    bool IsLineOverLong() const { return m_bLineOverLong; }
    bool IsTonePlaying() const { return m_bTonePlaying; }
    bool IsGameRunning() const { return m_bGameRunning; }
    bool IsMaxLevelKnown() const { return m_bMaxLevelKnown; }
    const std::wstring& GetMaxLevel() const { return m_strMaxLevel; }

private:
    void AppendToLine(std::wstring_view part);
    IQuadoBoard* View() const;
    bool IsMuted() const;
    void LightQuadrant(int nIndex);
    void ShowPanelText(const std::wstring& strText);
    void PlayColourTone(int nSoundNumber);
    void PlayOnce(int nSoundNumber);
    void StopSound();
    std::wstring BuildLevelText(std::wstring_view number) const;

    IQuadoBoard** m_ppView = nullptr;
    const bool* m_pbMute = nullptr;
    ISoundPlayer* m_pSoundPlayer = nullptr;
    CGameEvents* m_pEvents = nullptr;

    std::wstring m_strLine;
    // Set once the line being collected has passed MaxLineLength.
    bool m_bLineOverLong = false;
    bool m_bTonePlaying = false;
    bool m_bGameRunning = false;
    bool m_bMaxLevelKnown = false;
    std::wstring m_strMaxLevel;
};
