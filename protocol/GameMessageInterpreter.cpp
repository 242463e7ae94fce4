#include "protocol/GameMessageInterpreter.h"

#include "assets/SoundTable.h"
#include "protocol/GameEvents.h"
#include "protocol/IQuadoBoard.h"
#include "protocol/ISoundPlayer.h"

namespace {

// The board's white space: the C locale's wide white-space class plus the
// no-break space, which the board's 8-bit text may carry as byte 0xA0.
constexpr std::wstring_view WhiteSpace = L" \t\n\v\f\r\u00A0";

constexpr std::wstring_view LoseText = L"You Lose!\n\nSie Haben\nVerloren!";
constexpr std::wstring_view TimeoutText = L"Timeout\n\nZeitlimit\n\u00DCberschritten";
constexpr std::wstring_view WinText = L"You Win!\n\nSie Haben\nGewonnen!";
constexpr std::wstring_view PressText =
    L"Press button\nto start\n\nDr\u00FCcken Sie\nKnopf, um\nanzufangen";

struct ColourKeyword {
    std::wstring_view strKeyword;
    int nQuadrant;
};
constexpr ColourKeyword ColourKeywords[] = {
    {L"B", QuadrantBlue},
    {L"G", QuadrantGreen},
    {L"R", QuadrantRed},
    {L"Y", QuadrantYellow},
};

std::wstring_view Trim(std::wstring_view text)
{
    const std::size_t nFirst = text.find_first_not_of(WhiteSpace);
    if (nFirst == std::wstring_view::npos)
        return {};
    const std::size_t nLast = text.find_last_not_of(WhiteSpace);
    return text.substr(nFirst, nLast - nFirst + 1);
}

// Only ASCII letters fold: the locale must not decide what a keyword is.
wchar_t FoldAscii(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

bool StartsWithNoCase(std::wstring_view line, std::wstring_view keyword)
{
    if (line.size() < keyword.size())
        return false;
    for (std::size_t i = 0; i < keyword.size(); ++i) {
        if (FoldAscii(line[i]) != FoldAscii(keyword[i]))
            return false;
    }
    return true;
}

bool EqualsNoCase(std::wstring_view line, std::wstring_view keyword)
{
    return line.size() == keyword.size() && StartsWithNoCase(line, keyword);
}

// The lines that end a game, in the order they are tested, with the sound
// played first (if any) and the panel text shown then.
struct EndKeyword {
    std::wstring_view strKeyword;
    int nSound;
    std::wstring_view strPanel;
    GameEndCause nCause;
};
constexpr EndKeyword EndKeywords[] = {
    {L"Incorrect", SoundLose, LoseText, GameEndCause::Incorrect},
    {L"Timeout", SoundLose, TimeoutText, GameEndCause::Timeout},
    {L"Congrat", SoundWin, WinText, GameEndCause::Congrat},
    {L"Press", SoundNone, PressText, GameEndCause::Press},
};

// The number is whatever the board put between the first space and the first
// '-'; it is shown as sent, never parsed.
std::wstring_view LevelNumber(std::wstring_view line)
{
    std::wstring_view levelPart;
    if (const std::size_t nDash = line.find(L'-'); nDash != std::wstring_view::npos)
        levelPart = Trim(line.substr(0, nDash));
    const std::size_t nSpace = levelPart.find(L' ');
    return Trim(nSpace == std::wstring_view::npos ? levelPart : levelPart.substr(nSpace));
}

} // namespace

void CGameMessageInterpreter::SetLinks(IQuadoBoard** ppView, const bool* pbMute,
                                       ISoundPlayer* pSoundPlayer)
{
    m_ppView = ppView;
    m_pbMute = pbMute;
    m_pSoundPlayer = pSoundPlayer;
}

void CGameMessageInterpreter::AssembleLines(std::wstring_view text)
{
    text = text.substr(0, text.find(L'\0'));
    while (!text.empty()) {
        const std::size_t nLineFeed = text.find(L'\n');
        AppendToLine(text.substr(0, nLineFeed));
        if (nLineFeed == std::wstring_view::npos)
            break;
        InterpretLine();
        text.remove_prefix(nLineFeed + 1);
    }
}

void CGameMessageInterpreter::AppendToLine(std::wstring_view part)
{
    const std::size_t nRoom = MaxLineLength - m_strLine.size();
    if (part.size() > nRoom) {
        part = part.substr(0, nRoom);
        m_bLineOverLong = true;
    }
    m_strLine.append(part);
}

void CGameMessageInterpreter::InterpretLine()
{
    // Take the line out first: whatever the board or player do while we act,
    // the next line starts empty.
    std::wstring strLine;
    strLine.swap(m_strLine);
    const bool bOverLong = m_bLineOverLong;
    m_bLineOverLong = false;
    if (m_pEvents)
        m_pEvents->OnLine();
    // Only its head survived, and a head may look like a keyword it never was.
    if (bOverLong)
        return;

    const std::wstring_view line = Trim(strLine);

    if (EqualsNoCase(line, L"Off")) {
        LightQuadrant(QuadrantNone);
        if (m_bGameRunning && m_bTonePlaying)
            StopSound();
        m_bTonePlaying = false;
        return;
    }
    if (EqualsNoCase(line, L"All")) {
        LightQuadrant(QuadrantAll);
        m_bTonePlaying = false;
        return;
    }
    for (const ColourKeyword& colour : ColourKeywords) {
        if (EqualsNoCase(line, colour.strKeyword)) {
            LightQuadrant(colour.nQuadrant);
            // Sound numbers 1 to 4 are the quadrant numbers.
            PlayColourTone(colour.nQuadrant);
            m_bTonePlaying = true;
            return;
        }
    }

    if (StartsWithNoCase(line, L"Level")) {
        const std::wstring_view number = LevelNumber(line);
        ShowPanelText(BuildLevelText(number));
        m_bTonePlaying = false;
        if (m_pEvents)
            m_pEvents->OnLevel(number);
    } else if (StartsWithNoCase(line, L"MAX_LEVEL")) {
        const std::size_t nEquals = line.find(L'=');
        m_strMaxLevel = nEquals == std::wstring_view::npos ? line : Trim(line.substr(nEquals + 1));
        m_bMaxLevelKnown = true;
        m_bTonePlaying = false;
        if (m_pEvents)
            m_pEvents->OnMaxLevel(m_strMaxLevel);
    } else if (StartsWithNoCase(line, L"New")) {
        m_bGameRunning = true;
        m_bTonePlaying = false;
        if (m_pEvents)
            m_pEvents->OnNew();
    } else {
        for (const EndKeyword& end : EndKeywords) {
            if (!StartsWithNoCase(line, end.strKeyword))
                continue;
            if (end.nSound != 0)
                PlayOnce(end.nSound);
            ShowPanelText(std::wstring(end.strPanel));
            m_bTonePlaying = false;
            m_bGameRunning = false;
            if (m_pEvents)
                m_pEvents->OnEnd(end.nCause);
            return;
        }
    }
}

// "Level 3 -" with highest level 12 reads "Level:\n3 of 12\n\nSchwierigkeit:\n3 aus 12".
std::wstring CGameMessageInterpreter::BuildLevelText(std::wstring_view number) const
{
    std::wstring strText = L"Level:\n";
    strText += number;
    if (m_bMaxLevelKnown) {
        strText += L" of ";
        strText += m_strMaxLevel;
    }
    strText += L"\n\nSchwierigkeit:\n";
    strText += number;
    if (m_bMaxLevelKnown) {
        strText += L" aus ";
        strText += m_strMaxLevel;
    }
    return strText;
}

IQuadoBoard* CGameMessageInterpreter::View() const
{
    return m_ppView ? *m_ppView : nullptr;
}

bool CGameMessageInterpreter::IsMuted() const
{
    return m_pbMute && *m_pbMute;
}

void CGameMessageInterpreter::LightQuadrant(int nIndex)
{
    if (IQuadoBoard* pView = View())
        pView->LightQuadrant(nIndex);
}

void CGameMessageInterpreter::ShowPanelText(const std::wstring& strText)
{
    if (IQuadoBoard* pView = View())
        pView->ShowPanelText(strText);
}

// Colour tones belong to a running game; before "New" the board lights silently.
void CGameMessageInterpreter::PlayColourTone(int nSoundNumber)
{
    if (m_pSoundPlayer && m_bGameRunning && !IsMuted())
        m_pSoundPlayer->PlayLooping(SoundTable[nSoundNumber]);
}

void CGameMessageInterpreter::PlayOnce(int nSoundNumber)
{
    if (m_pSoundPlayer && !IsMuted())
        m_pSoundPlayer->PlayOnce(SoundTable[nSoundNumber]);
}

// A colour lit before "New" played no tone, so there is nothing to stop.
void CGameMessageInterpreter::StopTone()
{
    const bool bSounding = m_bGameRunning && m_bTonePlaying;
    m_bTonePlaying = false;
    if (bSounding)
        StopSound();
}

// Mute silences new sounds only; a stop still ends whatever plays.

void CGameMessageInterpreter::StopSound()
{
    if (m_pSoundPlayer)
        m_pSoundPlayer->Stop();
}
