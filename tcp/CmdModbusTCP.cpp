// Placeholder until the link is written: every operation reports that no transport exists.
#include "CmdModbusTCP.h"

CmdModbusTCP::CmdModbusTCP(QObject* parent) : QObject(parent) {}
CmdModbusTCP::~CmdModbusTCP() = default;
int CmdModbusTCP::EthConnectDrive(QString, int) { return -3; }
int CmdModbusTCP::EthDisConnectDrive() { return 1; }
int CmdModbusTCP::serialConnectDrive(QString, int, int, int, QString) { return -1; }
int CmdModbusTCP::serialDisConnectDrive() { return -1; }
int CmdModbusTCP::Determine_write(QByteArray) { return -3; }
int CmdModbusTCP::SendData(QByteArray, QByteArray&, int) { return -3; }
int CmdModbusTCP::deletetcpSocket() { return 0; }
int CmdModbusTCP::deleteSerialPort() { return 0; }
int CmdModbusTCP::DestroyFree() { return 1; }
void CmdModbusTCP::mysleep(int) {}
void CmdModbusTCP::TimerTimeOut() {}
int CmdModbusTCP::ReadCoils0x(int, int, int, QString, QByteArray*) { return -2; }
int CmdModbusTCP::ReadDiscreteInputs1x(int, int, int, QString, QByteArray*) { return -2; }
int CmdModbusTCP::ReadHoldingRegisters4x(int, int, int, QString, QByteArray*) { return -2; }
int CmdModbusTCP::ReadInputRegisters3x(int, int, int, QString, QByteArray*) { return -2; }
int CmdModbusTCP::WriteCoils0x(int, int, int, QByteArray) { return -2; }
int CmdModbusTCP::WriteHoldingRegisters4x(int, int, int, QByteArray) { return -2; }
int CmdModbusTCP::Message_parsing(QByteArray, QByteArray*, int, int, QString) { return -2; }
unsigned short CmdModbusTCP::CRC_Check(unsigned char*, unsigned char) { return 0xFFFF; }
void CmdModbusTCP::Ethconnected() {}
void CmdModbusTCP::Ethdisconnected() {}
void CmdModbusTCP::EthreadyRead() {}
void CmdModbusTCP::serialreadyRead() {}
