#pragma once
// A camera description for parameter file tests: value kinds, an integer and
// an enumeration selector, a feature that cannot be read, a node kind
// without a value form, a category listed twice. Registers below 0x1000 are
// memory; from 0x1000 on every access fails.
namespace nox_test {

inline constexpr char kParameterDescription[] = R"xml(<?xml version="1.0" encoding="utf-8"?>
<RegisterDescription ModelName="ParameterCamera" VendorName="Nox" ToolTip="Parameter file test"
    StandardNameSpace="None" SchemaMajorVersion="1" SchemaMinorVersion="1" SchemaSubMinorVersion="0"
    MajorVersion="1" MinorVersion="0" SubMinorVersion="0"
    ProductGuid="1A0B5C3E-1D7F-4E2A-9B8C-0F1E2D3C4B5A" VersionGuid="2B1C6D4F-2E80-4F3B-AC9D-1A2B3C4D5E6F"
    xmlns="http://www.genicam.org/GenApi/Version_1_1">
  <Category Name="Root">
    <pFeature>Image</pFeature>
    <pFeature>Control</pFeature>
    <pFeature>Image</pFeature>
  </Category>
  <Category Name="Image">
    <pFeature>Width</pFeature>
    <pFeature>Height</pFeature>
    <pFeature>PixelFormat</pFeature>
  </Category>
  <Category Name="Control">
    <pFeature>GainSelector</pFeature>
    <pFeature>Gain</pFeature>
    <pFeature>LineSelector</pFeature>
    <pFeature>LineInverter</pFeature>
    <pFeature>UserName</pFeature>
    <pFeature>TriggerSoftware</pFeature>
    <pFeature>FailingValue</pFeature>
    <pFeature>RawBlock</pFeature>
    <pFeature>WriteOnlyKey</pFeature>
    <pFeature>Root</pFeature>
  </Category>

  <Integer Name="Width">
    <pValue>WidthReg</pValue><Min>16</Min><Max>4096</Max><Inc>16</Inc>
  </Integer>
  <IntReg Name="WidthReg">
    <Address>0x100</Address><Length>4</Length><AccessMode>RW</AccessMode><pPort>Device</pPort>
    <Sign>Unsigned</Sign><Endianess>BigEndian</Endianess>
  </IntReg>
  <IntReg Name="Height">
    <Address>0x104</Address><Length>4</Length><AccessMode>RO</AccessMode><pPort>Device</pPort>
    <Sign>Unsigned</Sign><Endianess>BigEndian</Endianess>
  </IntReg>
  <Enumeration Name="PixelFormat">
    <EnumEntry Name="Mono8"><Value>1</Value></EnumEntry>
    <EnumEntry Name="Mono16"><Value>2</Value></EnumEntry>
    <pValue>PixelFormatReg</pValue>
  </Enumeration>
  <IntReg Name="PixelFormatReg">
    <Address>0x108</Address><Length>4</Length><AccessMode>RW</AccessMode><pPort>Device</pPort>
    <Sign>Unsigned</Sign><Endianess>BigEndian</Endianess>
  </IntReg>

  <Integer Name="GainSelector">
    <pSelected>Gain</pSelected>
    <pValue>GainSelectorReg</pValue><Min>0</Min><Max>3</Max><Inc>1</Inc>
  </Integer>
  <IntReg Name="GainSelectorReg">
    <Address>0x110</Address><Length>4</Length><AccessMode>RW</AccessMode><pPort>Device</pPort>
    <Sign>Unsigned</Sign><Endianess>BigEndian</Endianess>
  </IntReg>
  <Float Name="Gain">
    <pValue>GainReg</pValue><Min>0</Min><Max>100</Max>
  </Float>
  <FloatReg Name="GainReg">
    <Address>0x200</Address><pIndex Offset="4">GainSelectorReg</pIndex><Length>4</Length><AccessMode>RW</AccessMode>
    <pPort>Device</pPort><Endianess>BigEndian</Endianess>
  </FloatReg>

  <Enumeration Name="LineSelector">
    <EnumEntry Name="Line0"><Value>0</Value></EnumEntry>
    <EnumEntry Name="Line1"><Value>1</Value></EnumEntry>
    <pValue>LineSelectorReg</pValue>
    <pSelected>LineInverter</pSelected>
  </Enumeration>
  <IntReg Name="LineSelectorReg">
    <Address>0x114</Address><Length>4</Length><AccessMode>RW</AccessMode><pPort>Device</pPort>
    <Sign>Unsigned</Sign><Endianess>BigEndian</Endianess>
  </IntReg>
  <Boolean Name="LineInverter">
    <pValue>LineInverterReg</pValue><OnValue>1</OnValue><OffValue>0</OffValue>
  </Boolean>
  <IntReg Name="LineInverterReg">
    <Address>0x220</Address><pIndex Offset="4">LineSelectorReg</pIndex><Length>4</Length><AccessMode>RW</AccessMode>
    <pPort>Device</pPort><Sign>Unsigned</Sign><Endianess>BigEndian</Endianess>
  </IntReg>

  <StringReg Name="UserName">
    <Address>0x300</Address><Length>16</Length><AccessMode>RW</AccessMode><pPort>Device</pPort>
  </StringReg>
  <Command Name="TriggerSoftware">
    <pValue>TriggerSoftwareReg</pValue><CommandValue>1</CommandValue>
  </Command>
  <IntReg Name="TriggerSoftwareReg">
    <Address>0x118</Address><Length>4</Length><AccessMode>RW</AccessMode><pPort>Device</pPort>
    <Sign>Unsigned</Sign><Endianess>BigEndian</Endianess>
  </IntReg>
  <IntReg Name="FailingValue">
    <Address>0x1000</Address><Length>4</Length><AccessMode>RO</AccessMode><pPort>Device</pPort>
    <Sign>Unsigned</Sign><Endianess>BigEndian</Endianess>
  </IntReg>
  <Register Name="RawBlock">
    <Address>0x400</Address><Length>8</Length><AccessMode>RW</AccessMode><pPort>Device</pPort>
  </Register>
  <IntReg Name="WriteOnlyKey">
    <Address>0x11C</Address><Length>4</Length><AccessMode>WO</AccessMode><pPort>Device</pPort>
    <Sign>Unsigned</Sign><Endianess>BigEndian</Endianess>
  </IntReg>

  <Port Name="Device"/>
</RegisterDescription>
)xml";

}  // namespace nox_test
