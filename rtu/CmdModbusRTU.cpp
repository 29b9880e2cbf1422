// Placeholder until the link is written: every operation reports that no transport exists.
#include "CmdModbusRTU.h"

CmdModbusRTU::CmdModbusRTU(QObject* parent) : QObject(parent) {}
CmdModbusRTU::~CmdModbusRTU() = default;
int CmdModbusRTU::EthConnectDrive(QString, int) { return -3; }
int CmdModbusRTU::EthDisConnectDrive() { return 1; }
int CmdModbusRTU::serialConnectDrive(QString, int, int, int, QString, QString) { return -1; }
int CmdModbusRTU::serialDisConnectDrive() { return 0; }
int CmdModbusRTU::Connection_status() { return -3; }
void CmdModbusRTU::Determine_write(QByteArray) {}
int CmdModbusRTU::SendData(QByteArray, QByteArray&, int) { return -1; }
void CmdModbusRTU::Delay_MSec(unsigned int) {}
int CmdModbusRTU::deletetcpSocket() { return 0; }
int CmdModbusRTU::deleteSerialPort() { return 0; }
int CmdModbusRTU::DestroyFree() { return 1; }
void CmdModbusRTU::mysleep(int) {}
void CmdModbusRTU::TimerTimeOut() {}
int CmdModbusRTU::ReadCoils0x(int, int, int, QString, QByteArray*) { return -3; }
int CmdModbusRTU::ReadDiscreteInputs1x(int, int, int, QString, QByteArray*) { return -3; }
int CmdModbusRTU::ReadHoldingRegisters4x(int, int, int, QString, QByteArray*) { return -3; }
int CmdModbusRTU::ReadInputRegisters3x(int, int, int, QString, QByteArray*) { return -3; }
int CmdModbusRTU::WriteCoils0x(int, int, int, QByteArray) { return -3; }
int CmdModbusRTU::WriteHoldingRegisters4x(int, int, int, QByteArray) { return -3; }
int CmdModbusRTU::Message_parsing(QByteArray, QByteArray*, int, int, QString) { return -2; }
unsigned short CmdModbusRTU::CRC_Check(QByteArray, unsigned char) { return 0xFFFF; }
void CmdModbusRTU::Ethconnected() {}
void CmdModbusRTU::Ethdisconnected() {}
void CmdModbusRTU::EthreadyRead() {}
void CmdModbusRTU::serialreadyRead() {}
