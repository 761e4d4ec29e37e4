#include "serial/comm.h"

#include "serial/comm_private.h"

// Property accessors: line settings re-apply at once while open, time-outs likewise.

namespace m845 {

std::string TComm::CommName() const
{
    return d->commName;
}
void TComm::SetCommName(const std::string &name)
{
    d->commName = name;
}
std::uint32_t TComm::BaudRate() const
{
    return d->baudRate;
}
void TComm::SetBaudRate(std::uint32_t value)
{
    d->SetLine(d->baudRate, value);
}
bool TComm::ParityCheck() const
{
    return d->parityCheck;
}
void TComm::SetParityCheck(bool value)
{
    d->SetLine(d->parityCheck, value);
}
bool TComm::Outx_CtsFlow() const
{
    return d->outxCtsFlow;
}
void TComm::SetOutx_CtsFlow(bool value)
{
    d->SetLine(d->outxCtsFlow, value);
}
bool TComm::Outx_DsrFlow() const
{
    return d->outxDsrFlow;
}
void TComm::SetOutx_DsrFlow(bool value)
{
    d->SetLine(d->outxDsrFlow, value);
}
TDtrControl TComm::DtrControl() const
{
    return d->dtrControl;
}
void TComm::SetDtrControl(TDtrControl value)
{
    d->SetLine(d->dtrControl, value);
}
bool TComm::DsrSensitivity() const
{
    return d->dsrSensitivity;
}
void TComm::SetDsrSensitivity(bool value)
{
    d->SetLine(d->dsrSensitivity, value);
}
bool TComm::TxContinueOnXoff() const
{
    return d->txContinueOnXoff;
}
void TComm::SetTxContinueOnXoff(bool value)
{
    d->SetLine(d->txContinueOnXoff, value);
}
bool TComm::Outx_XonXoffFlow() const
{
    return d->outxXonXoffFlow;
}
void TComm::SetOutx_XonXoffFlow(bool value)
{
    d->SetLine(d->outxXonXoffFlow, value);
}
bool TComm::Inx_XonXoffFlow() const
{
    return d->inxXonXoffFlow;
}
void TComm::SetInx_XonXoffFlow(bool value)
{
    d->SetLine(d->inxXonXoffFlow, value);
}
bool TComm::ReplaceWhenParityError() const
{
    return d->replaceWhenParityError;
}
void TComm::SetReplaceWhenParityError(bool value)
{
    d->SetLine(d->replaceWhenParityError, value);
}
bool TComm::IgnoreNullChar() const
{
    return d->ignoreNullChar;
}
void TComm::SetIgnoreNullChar(bool value)
{
    d->SetLine(d->ignoreNullChar, value);
}
TRtsControl TComm::RtsControl() const
{
    return d->rtsControl;
}
void TComm::SetRtsControl(TRtsControl value)
{
    d->SetLine(d->rtsControl, value);
}
std::uint16_t TComm::XonLimit() const
{
    return d->xonLimit;
}
void TComm::SetXonLimit(std::uint16_t value)
{
    d->SetLine(d->xonLimit, value);
}
std::uint16_t TComm::XoffLimit() const
{
    return d->xoffLimit;
}
void TComm::SetXoffLimit(std::uint16_t value)
{
    d->SetLine(d->xoffLimit, value);
}
TByteSize TComm::ByteSize() const
{
    return d->byteSize;
}
void TComm::SetByteSize(TByteSize value)
{
    d->SetLine(d->byteSize, value);
}
TParity TComm::Parity() const
{
    return d->parity;
}
// Stored only: it reaches the line with the next open or the next other line change.
void TComm::SetParity(TParity value)
{
    d->parity = value;
}
TStopBits TComm::StopBits() const
{
    return d->stopBits;
}
void TComm::SetStopBits(TStopBits value)
{
    d->SetLine(d->stopBits, value);
}
char TComm::XonChar() const
{
    return d->xonChar;
}
void TComm::SetXonChar(char value)
{
    d->SetLine(d->xonChar, value);
}
char TComm::XoffChar() const
{
    return d->xoffChar;
}
void TComm::SetXoffChar(char value)
{
    d->SetLine(d->xoffChar, value);
}
char TComm::ReplacedChar() const
{
    return d->replacedChar;
}
void TComm::SetReplacedChar(char value)
{
    d->SetLine(d->replacedChar, value);
}
std::uint32_t TComm::ReadIntervalTimeout() const
{
    return d->readIntervalTimeout;
}
void TComm::SetReadIntervalTimeout(std::uint32_t ms)
{
    d->SetTimeout(d->readIntervalTimeout, ms);
}
std::uint32_t TComm::ReadTotalTimeoutMultiplier() const
{
    return d->readTotalTimeoutMultiplier;
}
void TComm::SetReadTotalTimeoutMultiplier(std::uint32_t ms)
{
    d->SetTimeout(d->readTotalTimeoutMultiplier, ms);
}
std::uint32_t TComm::ReadTotalTimeoutConstant() const
{
    return d->readTotalTimeoutConstant;
}
void TComm::SetReadTotalTimeoutConstant(std::uint32_t ms)
{
    d->SetTimeout(d->readTotalTimeoutConstant, ms);
}
std::uint32_t TComm::WriteTotalTimeoutMultiplier() const
{
    return d->writeTotalTimeoutMultiplier;
}
void TComm::SetWriteTotalTimeoutMultiplier(std::uint32_t ms)
{
    d->SetTimeout(d->writeTotalTimeoutMultiplier, ms);
}
std::uint32_t TComm::WriteTotalTimeoutConstant() const
{
    return d->writeTotalTimeoutConstant;
}
void TComm::SetWriteTotalTimeoutConstant(std::uint32_t ms)
{
    d->SetTimeout(d->writeTotalTimeoutConstant, ms);
}

} // namespace m845
