#pragma once
// A small camera description (schema 1.1) exercising every node kind the
// layer serves. Register map: 0x000-0x0FFF readable memory; from 0x1000 on
// the test port fails. Registers are big-endian and unsigned unless they say otherwise.
namespace nox_test {

inline constexpr char kTestDescription[] = R"xml(<?xml version="1.0" encoding="utf-8"?>
<RegisterDescription ModelName="TestCamera" VendorName="Nox" ToolTip="Test description"
    StandardNameSpace="None" SchemaMajorVersion="1" SchemaMinorVersion="1" SchemaSubMinorVersion="0"
    MajorVersion="1" MinorVersion="0" SubMinorVersion="0"
    ProductGuid="6A0B5C3E-1D7F-4E2A-9B8C-0F1E2D3C4B5A" VersionGuid="7B1C6D4F-2E80-4F3B-AC9D-1A2B3C4D5E6F"
    xmlns="http://www.genicam.org/GenApi/Version_1_1">
  <Category Name="Root">
    <pFeature>ImageFormat</pFeature><pFeature>Control</pFeature><pFeature>DeviceInformation</pFeature>
  </Category>
  <Category Name="ImageFormat">
    <pFeature>Width</pFeature><pFeature>Height</pFeature><pFeature>OffsetX</pFeature>
    <pFeature>PixelFormat</pFeature><pFeature>ReverseX</pFeature><pFeature>NoSuchFeature</pFeature>
  </Category>
  <Category Name="Control">
    <pFeature>GainSelector</pFeature><pFeature>Gain</pFeature>
    <pFeature>BlackLevelSelector</pFeature><pFeature>BlackLevel</pFeature>
  </Category>
  <Category Name="DeviceInformation">
    <pFeature>DeviceVendorName</pFeature><pFeature>DeviceUserID</pFeature>
  </Category>

  <Integer Name="Width"><pValue>WidthReg</pValue><Min>16</Min><Max>4096</Max><Inc>16</Inc></Integer>
  <IntReg Name="WidthReg"><Address>0x100</Address><Length>4</Length><AccessMode>RW</AccessMode>
    <pPort>Device</pPort><Endianess>BigEndian</Endianess></IntReg>
  <Integer Name="Height"><pValue>HeightReg</pValue><Min>1</Min><Max>4096</Max></Integer>
  <IntReg Name="HeightReg"><Address>0x10C</Address><Length>4</Length><AccessMode>RW</AccessMode>
    <pPort>Device</pPort><Endianess>BigEndian</Endianess></IntReg>
  <IntReg Name="OffsetX"><Address>0x104</Address><Length>2</Length><AccessMode>RW</AccessMode>
    <pPort>Device</pPort><Endianess>LittleEndian</Endianess></IntReg>
  <Boolean Name="ReverseX"><pValue>ReverseXReg</pValue><OnValue>1</OnValue><OffValue>0</OffValue></Boolean>
  <IntReg Name="ReverseXReg"><Address>0x120</Address><Length>4</Length><AccessMode>RW</AccessMode>
    <pPort>Device</pPort><Endianess>BigEndian</Endianess></IntReg>

  <Enumeration Name="PixelFormat">
    <EnumEntry Name="Mono8"><Value>0x01080001</Value></EnumEntry>
    <EnumEntry Name="Mono16"><Value>0x01100007</Value></EnumEntry>
    <EnumEntry Name="RGB8"><pIsImplemented>ColorSupported</pIsImplemented><Value>0x02180014</Value></EnumEntry>
    <pValue>PixelFormatReg</pValue>
  </Enumeration>
  <IntReg Name="PixelFormatReg"><Address>0x130</Address><Length>4</Length><AccessMode>RW</AccessMode>
    <pPort>Device</pPort><Endianess>BigEndian</Endianess></IntReg>
  <Integer Name="ColorSupported"><Value>0</Value></Integer>

  <Enumeration Name="GainSelector">
    <EnumEntry Name="All"><Value>0</Value></EnumEntry>
    <EnumEntry Name="Red"><Value>1</Value></EnumEntry>
    <EnumEntry Name="Blue"><Value>2</Value></EnumEntry>
    <pValue>GainSelectorReg</pValue><pSelected>Gain</pSelected>
  </Enumeration>
  <IntReg Name="GainSelectorReg"><Address>0x150</Address><Length>4</Length><AccessMode>RW</AccessMode>
    <pPort>Device</pPort><Endianess>BigEndian</Endianess></IntReg>
  <Float Name="Gain"><pValue>GainReg</pValue><Min>0</Min><Max>10</Max></Float>
  <FloatReg Name="GainReg"><Address>0x300</Address><pIndex Offset="4">GainSelectorReg</pIndex><Length>4</Length>
    <AccessMode>RW</AccessMode><pPort>Device</pPort><Endianess>BigEndian</Endianess></FloatReg>

  <IntReg Name="BlackLevelSelector"><pSelected>BlackLevel</pSelected><Address>0x160</Address><Length>4</Length>
    <AccessMode>RW</AccessMode><pPort>Device</pPort><Endianess>BigEndian</Endianess></IntReg>
  <IntReg Name="BlackLevel"><Address>0x170</Address><pIndex Offset="4">BlackLevelSelector</pIndex><Length>4</Length>
    <AccessMode>RW</AccessMode><pPort>Device</pPort><Endianess>BigEndian</Endianess></IntReg>

  <Command Name="AcquisitionStop"><pValue>AcquisitionStopReg</pValue><CommandValue>1</CommandValue></Command>
  <IntReg Name="AcquisitionStopReg"><Address>0x144</Address><Length>4</Length><AccessMode>WO</AccessMode>
    <pPort>Device</pPort><Endianess>BigEndian</Endianess></IntReg>

  <StringReg Name="DeviceVendorName"><Address>0x200</Address><Length>16</Length><AccessMode>RO</AccessMode>
    <pPort>Device</pPort></StringReg>
  <StringReg Name="DeviceUserID"><Address>0x220</Address><Length>16</Length><AccessMode>RW</AccessMode>
    <pPort>Device</pPort></StringReg>

  <IntReg Name="SensorKey"><Address>0x180</Address><Length>4</Length><AccessMode>WO</AccessMode>
    <pPort>Device</pPort><Endianess>BigEndian</Endianess></IntReg>
  <IntReg Name="SensorTemperature"><Address>0x184</Address><Length>4</Length><AccessMode>RO</AccessMode>
    <pPort>Device</pPort><Sign>Signed</Sign><Endianess>BigEndian</Endianess></IntReg>
  <Integer Name="BinningHorizontal"><pIsImplemented>BinningImplemented</pIsImplemented><pValue>BinningReg</pValue>
  </Integer>
  <IntReg Name="BinningReg"><Address>0x188</Address><Length>4</Length><AccessMode>RW</AccessMode>
    <pPort>Device</pPort><Endianess>BigEndian</Endianess></IntReg>
  <IntReg Name="BinningImplemented"><Address>0x190</Address><Length>4</Length><AccessMode>RO</AccessMode>
    <pPort>Device</pPort><Endianess>BigEndian</Endianess></IntReg>
  <IntReg Name="FailingRegister"><Address>0x1000</Address><Length>4</Length><AccessMode>RW</AccessMode>
    <pPort>Device</pPort><Endianess>BigEndian</Endianess></IntReg>

  <Group Comment="Hidden features">
    <Integer Name="GroupedConstant"><Value>5</Value></Integer>
    <Group Comment="Nested"><Integer Name="NestedConstant"><Value>6</Value></Integer></Group>
  </Group>
  <StructReg Comment="Status">
    <Address>0x1A0</Address><Length>4</Length><AccessMode>RW</AccessMode><pPort>Device</pPort>
    <Endianess>LittleEndian</Endianess>
    <StructEntry Name="StatusReady"><Bit>0</Bit></StructEntry>
    <StructEntry Name="StatusCode"><LSB>4</LSB><MSB>7</MSB><Sign>Unsigned</Sign></StructEntry>
  </StructReg>

  <Port Name="Device"/>
</RegisterDescription>
)xml";

}  // namespace nox_test
