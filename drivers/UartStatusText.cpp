#include "drivers/UartStatusText.h"

#include <cstdint>
#include <iterator>

#include "device/UartConfig.h"

namespace {

constexpr char ConnectedText[] = "CONNECTED  -  ";
constexpr char SettingsErrorText[] = "<UART Settings Err> - ";
constexpr const char* ParityTexts[] = {"No Parity  -  ", "Even Parity  -  ", "Odd Parity  -  ",
                                       "Mark Parity  -  ", "Space Parity  -  "};
constexpr char ParityErrorText[] = "<Parity Err>  -  ";
constexpr const char* FlowControlTexts[] = {"No Flow Control  -  ", "RTS / CTS Flow Control  -  "};
constexpr char FlowControlErrorText[] = "<Flow Control Err>  -  ";
constexpr char OneStopBitText[] = "1 Stop Bit";
constexpr char OneAndHalfStopBitsText[] = "1.5 Stop Bits";
constexpr char TwoStopBitsText[] = "2 Stop Bits";
constexpr char StopBitErrorText[] = "<Stop Bit Err>";

} // namespace

std::string ConnectedUartText(const UartConfig* pConfig)
{
    std::string strStatus = ConnectedText;
    if (!pConfig)
        return strStatus + SettingsErrorText;

    // As the original "%d" formats it: the 32-bit value read as signed.
    strStatus += std::to_string(static_cast<int32_t>(pConfig->BaudRate)) + "  -  ";
    strStatus += pConfig->Parity < std::size(ParityTexts) ? ParityTexts[pConfig->Parity] : ParityErrorText;
    strStatus += pConfig->FlowControl < std::size(FlowControlTexts) ? FlowControlTexts[pConfig->FlowControl]
                                                                    : FlowControlErrorText;
    strStatus += std::to_string(pConfig->DataBits) + " Data Bits  -  ";
    const char* pszStopBits = StopBitErrorText;
    if (pConfig->StopBits == 0)
        pszStopBits = OneStopBitText;
    else if (pConfig->StopBits == 1)
        pszStopBits = pConfig->DataBits == 5 ? OneAndHalfStopBitsText : TwoStopBitsText;
    return strStatus + pszStopBits;
}
