// Stands between the interpreter and the board view for the length of one
// received chunk: the board can only be painted once the chunk is processed,
// so only the last light and the last panel text of a chunk are ever seen, and
// only those are composited. Sounds are not held back.
#pragma once

#include <optional>
#include <string>

#include "protocol/IQuadoBoard.h"

class CChunkBoard : public IQuadoBoard {
public:
    // ppView: the frame's view pointer, read at each flush.
    void SetTarget(IQuadoBoard** ppView) { m_ppView = ppView; }

    void LightQuadrant(int nIndex) override { m_nLastIndex = nIndex; }
    void ShowPanelText(const std::wstring& strText) override { m_strLastText = strText; }

    // Hands the chunk's last light and text to the view; panel and board are
    // separate parts of the picture, so their order does not show.
    void Flush()
    {
        IQuadoBoard* pView = m_ppView ? *m_ppView : nullptr;
        if (pView && m_strLastText)
            pView->ShowPanelText(*m_strLastText);
        if (pView && m_nLastIndex)
            pView->LightQuadrant(*m_nLastIndex);
        m_strLastText.reset();
        m_nLastIndex.reset();
    }

private:
    IQuadoBoard** m_ppView = nullptr;
    std::optional<int> m_nLastIndex;
    std::optional<std::wstring> m_strLastText;
};
