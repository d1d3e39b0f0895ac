#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <tuple>

#include "MemoryPort.h"
#include "TestDescription.h"
#include "genapi/GenApi.h"

using namespace GenApi;
using nox_test::kTestDescription;
using nox_test::MemoryPort;

namespace {

std::unique_ptr<INodeMap> MakeNodeMap(const char *description = kTestDescription) {
    CNodeMapFactory factory(ContentType_Auto, description, std::strlen(description));
    return factory.CreateNodeMap();
}

std::vector<std::string> Names(const FeatureList_t &features) {
    std::vector<std::string> names;
    for (IValue *feature : features) names.push_back(feature->GetNode()->GetName());
    return names;
}

class NodeMapTest : public ::testing::Test {
protected:
    void SetUp() override {
        map = MakeNodeMap();
        ASSERT_TRUE(map->Connect(&port, "Device"));
    }

    // The camera changes a register by itself; the test description keeps
    // its registers, so the node map is told.
    void Poke(int64_t address, uint32_t value) {
        port.PutBig32(address, value);
        map->InvalidateNodes();
    }

    template <class T>
    CPointer<T> Get(const char *name) {
        CPointer<T> node = map->GetNode(name);
        if (!node.IsValid()) ADD_FAILURE() << name << " is missing or of another kind";
        return node;
    }

    MemoryPort port;
    std::unique_ptr<INodeMap> map;
};

// Big-endian values of each kind reach the camera's registers through the
// exported functions in the GenICam road test; here the other byte orders.
TEST_F(NodeMapTest, ValuesTravelThroughThePortInTheRegistersByteOrder) {
    Get<IInteger>("OffsetX")->SetValue(0x1234);
    EXPECT_EQ(port.Bytes(0x104, 2), (std::vector<uint8_t>{0x34, 0x12}));
    Get<IFloat>("Gain")->SetValue(2.5);
    EXPECT_EQ(port.Bytes(0x300, 4), (std::vector<uint8_t>{0x40, 0x20, 0x00, 0x00}));

    // What the camera holds comes back, whatever this side wrote last.
    Poke(0x130, 0x01080001);
    port.bytes[0x1A0] = 0x51;  // little-endian status word: ready bit and code 5
    map->InvalidateNodes();
    EXPECT_EQ(Get<IInteger>("OffsetX")->GetValue(), 0x1234);
    EXPECT_EQ(Get<IEnumeration>("PixelFormat")->GetCurrentEntry()->GetSymbolic(), "Mono8");
    EXPECT_EQ(Get<IInteger>("StatusReady")->GetValue(), 1);
    EXPECT_EQ(Get<IInteger>("StatusCode")->GetValue(), 5);

    // Selector-indexed registers move with their selector.
    Get<IInteger>("BlackLevelSelector")->SetValue(2);
    Get<IInteger>("BlackLevel")->SetValue(77);
    EXPECT_EQ(port.Big32(0x178), 77u);
    Get<IEnumeration>("GainSelector")->SetIntValue(Get<IEnumeration>("GainSelector")->GetEntryByName("Blue")->GetValue());
    Get<IFloat>("Gain")->SetValue(4.0);
    EXPECT_EQ(port.Big32(0x308), 0x40800000u);
    EXPECT_EQ(port.Big32(0x300), 0x40200000u);
}

// Register modes, availability and locks through the exported functions: the
// GenICam road test and the feature information tests. Here what is implemented now.
TEST_F(NodeMapTest, AccessModesFollowWhatIsImplementedNow) {
    EXPECT_EQ(Get<INode>("BinningHorizontal")->GetAccessMode(), NI);
    EXPECT_THROW(Get<IInteger>("BinningHorizontal")->GetValue(), GenICam::AccessException);
    Poke(0x190, 1);
    EXPECT_EQ(Get<INode>("BinningHorizontal")->GetAccessMode(), RW);
    CEnumerationPtr pixelFormat = Get<IEnumeration>("PixelFormat");
    EXPECT_EQ(pixelFormat->GetEntryByName("RGB8")->GetAccessMode(), NI);
    EXPECT_EQ(pixelFormat->GetEntryByName("Mono8")->GetAccessMode(), RO);
}

TEST_F(NodeMapTest, SetValueEnforcesRangeIncrementAndWritabilityBeforeWriting) {
    CIntegerPtr width = Get<IInteger>("Width");
    EXPECT_THROW(width->SetValue(8), GenICam::OutOfRangeException);
    EXPECT_THROW(width->SetValue(4112), GenICam::OutOfRangeException);
    EXPECT_THROW(width->SetValue(650), GenICam::OutOfRangeException);
    EXPECT_THROW(Get<IFloat>("Gain")->SetValue(10.5), GenICam::OutOfRangeException);
    EXPECT_THROW(Get<IFloat>("Gain")->SetValue(std::nan("")), GenICam::OutOfRangeException);
    EXPECT_THROW(Get<IString>("DeviceUserID")->SetValue("seventeen chars!!"), GenICam::OutOfRangeException);
    CEnumerationPtr pixelFormat = Get<IEnumeration>("PixelFormat");
    EXPECT_THROW(pixelFormat->SetIntValue(12345), GenICam::OutOfRangeException);
    EXPECT_THROW(pixelFormat->SetIntValue(pixelFormat->GetEntryByName("RGB8")->GetValue()), GenICam::OutOfRangeException);
    EXPECT_THROW(Get<IInteger>("BinningHorizontal")->SetValue(2), GenICam::AccessException);
    EXPECT_EQ(port.Writes(), 0u) << "a refused value must not reach the camera";

    // Without verification only writability is checked.
    width->SetValue(650, false);
    EXPECT_EQ(port.Big32(0x100), 650u);
    EXPECT_THROW(Get<IInteger>("SensorTemperature")->SetValue(1, false), GenICam::AccessException);
    Get<IInteger>("SensorKey")->SetValue(0xCAFE);
    EXPECT_EQ(port.Big32(0x180), 0xCAFEu);
}

// A feature read as another kind is refused, and an enumeration's entries listed, through the
// exported functions: the GenICam road test and the feature information tests.
TEST_F(NodeMapTest, EnumerationWithoutTheEntryNamedOrHeld) {
    EXPECT_FALSE(CIntegerPtr(map->GetNode("PixelFormat")).IsValid()) << "an enumeration is never an integer";
    CEnumerationPtr pixelFormat = Get<IEnumeration>("PixelFormat");
    EXPECT_EQ(pixelFormat->GetEntryByName("Mono12"), nullptr);
    Poke(0x130, 99);
    EXPECT_EQ(pixelFormat->GetCurrentEntry(), nullptr);

    CPointer<IInteger> none;
    EXPECT_THROW(none->GetValue(), GenICam::LogicalErrorException);
}

// A readable command register is done when the camera clears it: the GenICam road test.
TEST_F(NodeMapTest, ACommandOnAWriteOnlyRegisterIsDoneAtOnce) {
    Get<ICommand>("AcquisitionStop")->Execute();
    EXPECT_EQ(port.Big32(0x144), 1u);
    EXPECT_TRUE(Get<ICommand>("AcquisitionStop")->IsDone()) << "a write-only register cannot show completion";
}

// The port's text reaches the caller: the GenICam road test. Here no stale value stands in for it.
TEST_F(NodeMapTest, FailingPortReadRaisesInsteadOfAStaleValue) {
    CIntegerPtr width = Get<IInteger>("Width");
    Poke(0x100, 320);
    EXPECT_EQ(width->GetValue(), 320);
    port.failReads = true;
    map->InvalidateNodes();
    try {
        width->GetValue();
        FAIL() << "a failing read returned a value";
    } catch (const GenICam::AccessException &) {
        FAIL() << "a port failure is no access refusal";
    } catch (const GenICam::GenericException &) {
    }
    port.failReads = false;
    EXPECT_THROW(Get<IInteger>("FailingRegister")->SetValue(1), GenICam::GenericException);
    EXPECT_EQ(width->GetValue(), 320);
}

TEST(NodeMap, RegisterAccessBeforeConnectingRaisesAccessException) {
    auto map = MakeNodeMap();
    CIntegerPtr width = map->GetNode("Width");
    ASSERT_TRUE(width.IsValid());
    EXPECT_THROW(width->GetValue(), GenICam::AccessException);
    EXPECT_THROW(width->SetValue(64), GenICam::AccessException);
    // Constants need no port.
    EXPECT_EQ(CIntegerPtr(map->GetNode("GroupedConstant"))->GetValue(), 5);

    MemoryPort port;
    EXPECT_FALSE(map->Connect(&port, "Camera"));
    EXPECT_FALSE(map->Connect(&port, "Width"));
    EXPECT_THROW(width->GetValue(), GenICam::AccessException);
    EXPECT_THROW(map->Connect(nullptr, "Device"), GenICam::LogicalErrorException);
    EXPECT_TRUE(map->Connect(&port));
    port.PutBig32(0x100, 48);
    EXPECT_EQ(width->GetValue(), 48);
}

// A description of the given nodes (and a port "Device").
std::string Described(const std::string &nodes) {
    return "<?xml version=\"1.0\"?>\n<RegisterDescription ModelName=\"T\" VendorName=\"N\">\n" + nodes +
           "<Port Name=\"Device\"/>\n</RegisterDescription>\n";
}

std::string IntRegAt(const char *name, const std::string &address, const std::string &length = "4") {
    return std::string("<IntReg Name=\"") + name + "\"><Address>" + address + "</Address><Length>" + length +
           "</Length><AccessMode>RW</AccessMode><pPort>Device</pPort></IntReg>\n";
}

std::string Chain(int links) {
    std::string nodes;
    for (int i = 0; i < links; ++i)
        nodes += "<Integer Name=\"I" + std::to_string(i) + "\"><pValue>I" + std::to_string(i + 1) + "</pValue></Integer>";
    return nodes + "<Integer Name=\"I" + std::to_string(links) + "\"><Value>1</Value></Integer>";
}

std::string Nested(int depth) {
    std::string open, close;
    for (int i = 0; i < depth; ++i) open += "<Group>", close += "</Group>";
    return open + "<Integer Name=\"Deep\"><Value>1</Value></Integer>" + close;
}

// What a description says to people reaches the layer's callers, with its
// defaults where it says nothing; what no caller asks for (DocuURL) is dropped.
TEST(NodeMap, PresentationAndFloatStepsComeFromTheDescription) {
    const std::string description = Described(R"(
      <Integer Name="Width"><ToolTip>Width of the image</ToolTip><Description>In pixels</Description>
        <DisplayName>Image Width</DisplayName><Visibility>Expert</Visibility><DocuURL>http://x</DocuURL>
        <Value>8</Value><Representation>HexNumber</Representation><Unit>px</Unit></Integer>
      <Integer Name="Plain"><Value>1</Value></Integer>
      <Float Name="Gain"><Visibility>Guru</Visibility><Value>1</Value><Inc>0.5</Inc><Unit>dB</Unit>
        <Representation>Logarithmic</Representation></Float>
      <Float Name="Exposure"><Value>1</Value></Float>
      <Enumeration Name="Mode"><Visibility>Invisible</Visibility><Value>0</Value>
        <EnumEntry Name="Off"><DisplayName>Switched off</DisplayName><Value>0</Value></EnumEntry></Enumeration>)");
    auto map = MakeNodeMap(description.c_str());
    const auto shown = [&](const char *name) {
        INode *node = map->GetNode(name);
        return std::make_tuple(std::string(node->GetDisplayName()), std::string(node->GetToolTip()),
                               std::string(node->GetDescription()), node->GetVisibility());
    };
    EXPECT_EQ(shown("Width"), std::make_tuple("Image Width", "Width of the image", "In pixels", Expert));
    EXPECT_EQ(shown("Plain"), std::make_tuple("Plain", "", "", Beginner));
    EXPECT_EQ(std::get<3>(shown("Mode")), Invisible);
    CEnumerationPtr mode = map->GetNode("Mode");
    EXPECT_EQ(mode->GetEntryByName("Off")->GetNode()->GetDisplayName(), "Switched off");
    CIntegerPtr width = map->GetNode("Width"), plain = map->GetNode("Plain");
    EXPECT_EQ(std::make_tuple(width->GetRepresentation(), width->GetUnit()), std::make_tuple(HexNumber, "px"));
    EXPECT_EQ(std::make_tuple(plain->GetRepresentation(), plain->GetUnit()),
              std::make_tuple(_UndefinedRepresentation, ""));
    CFloatPtr gain = map->GetNode("Gain"), exposure = map->GetNode("Exposure");
    EXPECT_EQ(std::make_tuple(gain->HasInc(), gain->GetInc(), gain->GetUnit(), gain->GetRepresentation()),
              std::make_tuple(true, 0.5, "dB", Logarithmic));
    EXPECT_EQ(std::make_tuple(exposure->HasInc(), exposure->GetInc()), std::make_tuple(false, 0.0));
}

// What the interpreter cannot take safely is refused before it sees it, with
// the reason; nothing of it reaches the interpreter or stderr.
TEST(NodeMap, HostileDescriptionsAreRefusedWithTheirReason) {
    const struct {
        std::string description;
        const char *reason;
    } cases[] = {
        {"this is no XML at all", "no well-formed XML"},
        {"<?xml version=\"1.0\"?><RegisterDescription><Integer Name=\"W\"><Value>1", "no well-formed XML"},
        {"<?xml version=\"1.0\"?><Camera/>", "root element is 'Camera'"},
        {"<?xml version=\"1.0\"?><!DOCTYPE R [<!ENTITY a \"aaaa\">]><RegisterDescription/>", "document type"},
        {Described("<StringReg Name=\"S\"><Address>0</Address><Length>-2</Length><pPort>Device</pPort></StringReg>"),
         "Length of 'S' is -2"},
        {Described(IntRegAt("R", "0", "16")), "Length of 'R' is 16"},
        {Described("<Register Name=\"R\"><Address>0</Address><Length>0x10000000</Length><pPort>Device</pPort></Register>"),
         "Length of 'R'"},
        {Described("<Integer Name=\"N\"><Value>-2</Value></Integer><StringReg Name=\"S\"><Address>0</Address>"
                   "<pLength>N</pLength><pPort>Device</pPort></StringReg>"),
         "pLength of 'S'"},
        {Described(IntRegAt("R", "-4")), "Address of 'R' lies outside"},
        {Described(IntRegAt("R", "0x7fffffffffffffff")), "Address of 'R' lies outside"},
        {Described(IntRegAt("R", "twelve")), "Address of 'R' is no number"},
        {Described("<MaskedIntReg Name=\"M\"><Address>0</Address><LSB>99</LSB><pPort>Device</pPort></MaskedIntReg>"),
         "LSB of 'M' is 99"},
        {Described("<Integer Name=\"W\"><pValue>Missing</pValue></Integer>"), "names 'Missing', which does not exist"},
        {Described("<Category Name=\"C\"/><Integer Name=\"W\"><pValue>C</pValue></Integer>"), "a Category, which cannot"},
        {Described("<Integer Name=\"I\"><Value>1</Value></Integer>"
                   "<IntReg Name=\"R\"><Address>0</Address><pPort>I</pPort></IntReg>"),
         "pPort of 'R' names 'I'"},
        {Described("<Integer Name=\"A\"><pValue>B</pValue></Integer><Integer Name=\"B\"><pMax>A</pMax></Integer>"),
         "depends on itself"},
        {Described(Chain(70)), "chain of more than 64 references"},
        {Described(Nested(40)), "nested deeper than 32"},
        {Described("<Gadget Name=\"G\"/>"), "node kind 'Gadget' is unknown"},
        {Described("<Integer Name=\"W\"><pValue><Integer Name=\"X\"/></pValue></Integer>"), "stands inside 'pValue'"},
    };
    for (const auto &hostile : cases) {
        try {
            MakeNodeMap(hostile.description.c_str());
            ADD_FAILURE() << "accepted: " << hostile.description;
        } catch (const GenICam::InvalidDescriptionException &exception) {
            EXPECT_NE(std::string(exception.what()).find(hostile.reason), std::string::npos)
                << exception.what() << "\nexpected: " << hostile.reason;
        }
    }
    // A category may list a feature the description lacks; it leaves it out.
    EXPECT_NO_THROW(MakeNodeMap(Described("<Category Name=\"Root\"><pFeature>Gone</pFeature></Category>").c_str()));
}

// Translating an older description drops what a register cannot hold,
// together with any ROM entry buried in it; nothing dropped is touched again.
TEST(NodeMap, RomEntriesBuriedInDroppedElementsGoWithThem) {
    const std::string description = Described(
        "<ConfRom Name=\"Rom\"><Address>0</Address><Length>8</Length><pPort>Device</pPort>"
        "<Wrapper><TextDesc Name=\"Buried\"><Address>0</Address><Length>4</Length><pPort>Device</pPort></TextDesc>"
        "</Wrapper></ConfRom>");
    const auto map = MakeNodeMap(description.c_str());
    EXPECT_NE(map->GetNode("Rom"), nullptr);
    EXPECT_EQ(map->GetNode("Buried"), nullptr);
}

// Registers of the cache cases, at 0x400 on.
constexpr char kCachedRegisters[] = R"xml(
<IntReg Name="Kept"><Address>0x400</Address><Length>4</Length><AccessMode>RW</AccessMode><pPort>Device</pPort></IntReg>
<IntReg Name="Around"><Address>0x404</Address><Length>4</Length><AccessMode>RW</AccessMode><pPort>Device</pPort>
  <Cachable>WriteAround</Cachable></IntReg>
<IntReg Name="Volatile"><Address>0x408</Address><Length>4</Length><AccessMode>RO</AccessMode><pPort>Device</pPort>
  <Cachable>NoCache</Cachable></IntReg>
<IntReg Name="Polled"><Address>0x40C</Address><Length>4</Length><AccessMode>RO</AccessMode><pPort>Device</pPort>
  <PollingTime>0</PollingTime></IntReg>
<Integer Name="Size"><pInvalidator>Kept</pInvalidator><pInvalidator>Factor</pInvalidator><pValue>SizeReg</pValue></Integer>
<IntReg Name="SizeReg"><Address>0x410</Address><Length>4</Length><AccessMode>RO</AccessMode><pPort>Device</pPort></IntReg>
<Integer Name="Factor"><Value>1</Value></Integer>
<IntReg Name="Selector"><Address>0x414</Address><Length>4</Length><AccessMode>RW</AccessMode><pPort>Device</pPort></IntReg>
<IntReg Name="Selected"><Address>0x420</Address><pIndex Offset="4">Selector</pIndex><Length>4</Length>
  <AccessMode>RW</AccessMode><pPort>Device</pPort></IntReg>
)xml";

// The reads of an address that reached the port.
size_t ReadsAt(const MemoryPort &port, int64_t address) {
    size_t reads = 0;
    for (const MemoryPort::Access &access : port.accesses) reads += !access.write && access.address == address;
    return reads;
}

// A command, or a write behind the node map's back, forgets everything: the GenICam road test.
TEST(NodeMap, RegisterValuesAreKeptAsTheirDescriptionSays) {
    auto map = MakeNodeMap(Described(kCachedRegisters).c_str());
    MemoryPort port;
    ASSERT_TRUE(map->Connect(&port));
    const auto read = [&](const char *name) { return CIntegerPtr(map->GetNode(name))->GetValue(); };
    const auto write = [&](const char *name, int64_t value) { CIntegerPtr(map->GetNode(name))->SetValue(value, false); };

    // Read once, then kept; a write through keeps the written value.
    read("Kept"), read("Kept");
    EXPECT_EQ(ReadsAt(port, 0x400), 1u);
    write("Kept", 7);
    EXPECT_EQ(read("Kept"), 7);
    EXPECT_EQ(ReadsAt(port, 0x400), 1u);
    // Written around: read again after a write. Volatile and polled at 0 ms: read every time.
    read("Around"), write("Around", 3), read("Around"), read("Around");
    EXPECT_EQ(ReadsAt(port, 0x404), 2u);
    read("Volatile"), read("Volatile"), read("Polled"), read("Polled");
    EXPECT_EQ(ReadsAt(port, 0x408), 2u);
    EXPECT_EQ(ReadsAt(port, 0x40C), 2u);
    // A register moved by a selector is read every time, at its current place.
    write("Selector", 1), read("Selected"), read("Selected");
    EXPECT_EQ(ReadsAt(port, 0x424), 2u);

    // An invalidator's change forgets the register: a write to Kept's
    // register, or to the constant Factor.
    read("Size"), read("Size");
    EXPECT_EQ(ReadsAt(port, 0x410), 1u);
    write("Kept", 8), read("Size");
    EXPECT_EQ(ReadsAt(port, 0x410), 2u);
    write("Factor", 2), read("Size");
    EXPECT_EQ(ReadsAt(port, 0x410), 3u);
}

TEST_F(NodeMapTest, NodeListingFindsEveryFeatureOnce) {
    // Every named element of the description except enumeration entries.
    std::multiset<std::string> expected;
    const std::string text = kTestDescription;
    const std::string marker = " Name=\"";
    for (size_t at = text.find(marker); at != std::string::npos; at = text.find(marker, at + 1)) {
        const size_t tag = text.rfind('<', at) + 1;
        const size_t nameStart = at + marker.size();
        if (text.compare(tag, at - tag, "EnumEntry") != 0)
            expected.insert(text.substr(nameStart, text.find('"', nameStart) - nameStart));
    }
    NodeList_t nodes;
    nodes.push_back(nullptr);  // the list is replaced, not appended to
    map->GetNodes(nodes);
    std::multiset<std::string> listed;
    for (INode *node : nodes) listed.insert(node->GetName());
    EXPECT_EQ(listed, expected);
}

TEST_F(NodeMapTest, CategoriesAndSelectorsListTheirFeatures) {
    FeatureList_t features;
    Get<ICategory>("Root")->GetFeatures(features);
    EXPECT_EQ(Names(features), (std::vector<std::string>{"ImageFormat", "Control", "DeviceInformation"}));
    Get<ICategory>("ImageFormat")->GetFeatures(features);
    EXPECT_EQ(Names(features), (std::vector<std::string>{"Width", "Height", "OffsetX", "PixelFormat", "ReverseX"}));

    // An enumeration and a register select; asking another node leaves earlier lists as they were.
    EXPECT_FALSE(Get<ISelector>("Width")->IsSelector());
    FeatureList_t selectedByGain, selectedByBlackLevel, again;
    Get<ISelector>("GainSelector")->GetSelectedFeatures(selectedByGain);
    Get<ISelector>("BlackLevelSelector")->GetSelectedFeatures(selectedByBlackLevel);
    Get<ISelector>("Width")->GetSelectedFeatures(again);
    EXPECT_TRUE(again.empty());
    EXPECT_EQ(Names(selectedByGain), std::vector<std::string>{"Gain"});
    EXPECT_EQ(Names(selectedByBlackLevel), std::vector<std::string>{"BlackLevel"});
}

}  // namespace
