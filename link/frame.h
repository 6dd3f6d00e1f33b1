#pragma once

#include <QByteArray>
#include <QString>

// The layout both frames share, the host's command (8 bytes) and the validator's reply (11):
// 02, the frame's length, a control byte, the data bytes, 03, and a checksum, the XOR of the
// bytes after the start byte up to the end byte, which it leaves out.
namespace Frame {

constexpr char startByte = 0x02;
constexpr char endByte = 0x03;
constexpr int controlAt = 2;
constexpr int dataAt = 3; // data0; data1 and data2 follow

// The control byte's ACK bit: the host flips it for each new frame, and the validator's reply
// carries that of the command it answers.
constexpr quint8 ackBit = 0x01;
// The command's message type, in its control byte.
constexpr quint8 normalCommand = 0x10;
constexpr quint8 calibrationCommand = 0x40;
// The host's escrow instruction in a command's data1.
constexpr quint8 escrowEnabled = 0x10;
constexpr quint8 stackNote = 0x20;
constexpr quint8 returnNote = 0x40;

// A frame of `length` bytes with the control byte, the data bytes (zeros after them up to the
// end byte) and a checksum of 0.
QByteArray laidOut(int length, quint8 control, QByteArrayView data);
// The same with its checksum.
QByteArray build(int length, quint8 control, QByteArrayView data);
quint8 checksum(QByteArrayView frame);
// Length, start byte, length byte, end byte and checksum all right.
bool wellFormed(QByteArrayView frame, int length);
// The bytes may begin a frame of that length: the start byte first, and the length byte after
// it once it has come.
bool mayBegin(QByteArrayView bytes, int length);

// Bytes as two upper-case hexadecimal digits each, leading zero kept, one blank between them:
// "02 0B 20".
QString hexBytes(QByteArrayView bytes);

} // namespace Frame
