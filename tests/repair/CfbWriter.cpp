#include "CfbWriter.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t kMiniSectorSize = 64;
constexpr uint32_t kCutoff = 4096;
constexpr uint32_t kEntrySize = 128;
constexpr uint32_t kHeaderDifat = 109;

struct FlatEntry {
    std::string name;
    std::string path;
    uint8_t type = 0;
    uint64_t size = 0;
    uint32_t left = cfb::kNoStream;
    uint32_t right = cfb::kNoStream;
    uint32_t child = cfb::kNoStream;
    uint32_t start = cfb::kEndOfChain;
};

std::string Upper(const std::string& s)
{
    std::string out = s;
    for (char& c : out)
        c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    return out;
}

// Readers that search the tree order siblings by name length first, then by upper-cased name.
bool NameLess(const CfbNode* a, const CfbNode* b)
{
    if (a->name.size() != b->name.size())
        return a->name.size() < b->name.size();
    return Upper(a->name) < Upper(b->name);
}

uint32_t CeilDiv(uint64_t value, uint64_t unit)
{
    return static_cast<uint32_t>(value / unit + (value % unit != 0 ? 1 : 0));
}

class Builder {
public:
    explicit Builder(const CfbLayout& layout) : m_layout(layout) {}
    CfbImage Build();

private:
    uint32_t AddChildren(const std::vector<CfbNode>& nodes, const std::string& prefix);
    uint32_t BalancedTree(const std::vector<uint32_t>& sorted, size_t lo, size_t hi);
    std::vector<uint32_t> Allocate(uint32_t count);
    void Chain(const std::vector<uint32_t>& sectors, std::vector<uint32_t>& table);
    static uint8_t DataByte(uint32_t entry, uint64_t i) { return static_cast<uint8_t>(i * 31 + entry * 17 + 1); }

    const CfbLayout& m_layout;
    std::vector<FlatEntry> m_entries;
    uint32_t m_next = 0;
};

uint32_t Builder::BalancedTree(const std::vector<uint32_t>& sorted, size_t lo, size_t hi)
{
    if (lo >= hi)
        return cfb::kNoStream;
    size_t mid = (lo + hi) / 2;
    uint32_t index = sorted[mid];
    uint32_t left = BalancedTree(sorted, lo, mid);
    uint32_t right = BalancedTree(sorted, mid + 1, hi);
    m_entries[index].left = left;
    m_entries[index].right = right;
    return index;
}

uint32_t Builder::AddChildren(const std::vector<CfbNode>& nodes, const std::string& prefix)
{
    std::vector<const CfbNode*> sorted;
    for (const CfbNode& node : nodes)
        sorted.push_back(&node);
    std::sort(sorted.begin(), sorted.end(), NameLess);
    std::vector<uint32_t> indices;
    for (const CfbNode* node : sorted) {
        FlatEntry entry;
        entry.name = node->name;
        entry.path = prefix + node->name;
        entry.type = node->storage ? 1 : 2;
        entry.size = node->storage ? 0 : node->size;
        entry.start = node->storage ? 0 : cfb::kEndOfChain;
        indices.push_back(static_cast<uint32_t>(m_entries.size()));
        m_entries.push_back(entry);
    }
    for (size_t i = 0; i < sorted.size(); i++) {
        if (sorted[i]->storage) {
            uint32_t child = AddChildren(sorted[i]->children, m_entries[indices[i]].path + "/");
            m_entries[indices[i]].child = child;
        }
    }
    return BalancedTree(indices, 0, indices.size());
}

std::vector<uint32_t> Builder::Allocate(uint32_t count)
{
    std::vector<uint32_t> sectors;
    for (uint32_t i = 0; i < count; i++)
        sectors.push_back(m_next++);
    return sectors;
}

void Builder::Chain(const std::vector<uint32_t>& sectors, std::vector<uint32_t>& table)
{
    for (size_t i = 0; i < sectors.size(); i++)
        table[sectors[i]] = i + 1 < sectors.size() ? sectors[i + 1] : cfb::kEndOfChain;
}

CfbImage Builder::Build()
{
    CfbImage image;
    const uint32_t ss = m_layout.version == 4 ? 4096 : 512;
    const uint32_t perSector = ss / 4;
    image.sectorSize = ss;

    FlatEntry root;
    root.name = "Root Entry";
    root.type = 5;
    m_entries.push_back(root);
    m_entries[0].child = AddChildren(m_layout.root, "");

    // Small streams first take consecutive mini sectors.
    uint32_t miniCount = 0;
    for (uint32_t i = 1; i < m_entries.size(); i++) {
        FlatEntry& e = m_entries[i];
        if (e.type != 2 || e.size == 0 || e.size >= kCutoff)
            continue;
        std::vector<uint32_t> mini;
        for (uint32_t k = 0; k < CeilDiv(e.size, kMiniSectorSize); k++)
            mini.push_back(miniCount++);
        e.start = mini.front();
        image.chains[e.path] = mini;
    }
    uint64_t rootSize = uint64_t(miniCount) * kMiniSectorSize;

    image.entryCount = CeilDiv(m_entries.size() * kEntrySize, ss) * (ss / kEntrySize);
    uint32_t directoryCount = image.entryCount * kEntrySize / ss;
    uint32_t miniFatCount = CeilDiv(uint64_t(miniCount) * 4, ss);
    uint32_t miniStreamCount = CeilDiv(rootSize, ss);
    uint32_t content = directoryCount + miniFatCount + miniStreamCount;
    for (const FlatEntry& e : m_entries) {
        if (e.type == 2 && e.size >= kCutoff)
            content += CeilDiv(e.size, ss);
    }
    content += static_cast<uint32_t>(std::count(m_layout.order.begin(), m_layout.order.end(), CfbPart::FreeSector));

    // The FAT must also cover its own sectors and the DIFAT's.
    uint32_t fatCount = std::max<uint32_t>(1, m_layout.minFatSectors);
    uint32_t difatCount = 0;
    for (;;) {
        uint32_t needed = std::max(CeilDiv(uint64_t(content) + fatCount + difatCount, perSector), m_layout.minFatSectors);
        uint32_t difat = needed > kHeaderDifat ? CeilDiv(needed - kHeaderDifat, perSector - 1) : 0;
        if (needed == fatCount && difat == difatCount)
            break;
        fatCount = std::max(fatCount, needed);
        difatCount = difat;
    }

    // A part the order leaves out still has to be somewhere: it goes last.
    std::vector<CfbPart> order = m_layout.order;
    for (CfbPart part : {CfbPart::Difat, CfbPart::Fat, CfbPart::Directory, CfbPart::MiniFat, CfbPart::MiniStream,
                         CfbPart::Streams}) {
        if (std::find(order.begin(), order.end(), part) == order.end())
            order.push_back(part);
    }
    std::vector<std::pair<uint32_t, std::vector<uint32_t>>> bigStreams;  // entry, sectors
    for (CfbPart part : order) {
        switch (part) {
        case CfbPart::Difat: image.difatSectors = Allocate(difatCount); break;
        case CfbPart::Fat: image.fatSectors = Allocate(fatCount); break;
        case CfbPart::Directory: image.directorySectors = Allocate(directoryCount); break;
        case CfbPart::MiniFat: image.miniFatSectors = Allocate(miniFatCount); break;
        case CfbPart::MiniStream: image.miniStreamSectors = Allocate(miniStreamCount); break;
        case CfbPart::FreeSector: image.freeSectors.push_back(Allocate(1).front()); break;
        case CfbPart::Streams:
            for (uint32_t i = 1; i < m_entries.size(); i++) {
                FlatEntry& e = m_entries[i];
                if (e.type != 2 || e.size < kCutoff)
                    continue;
                std::vector<uint32_t> sectors = Allocate(CeilDiv(e.size, ss));
                e.start = sectors.front();
                image.chains[e.path] = sectors;
                bigStreams.push_back({i, sectors});
            }
            break;
        }
    }
    image.sectorCount = m_next;
    if (!image.miniStreamSectors.empty()) {
        m_entries[0].start = image.miniStreamSectors.front();
        m_entries[0].size = rootSize;
    }

    std::vector<uint32_t> fat(size_t(fatCount) * perSector, cfb::kFreeSect);
    for (uint32_t s : image.fatSectors)
        fat[s] = cfb::kFatSect;
    for (uint32_t s : image.difatSectors)
        fat[s] = cfb::kDifSect;
    Chain(image.directorySectors, fat);
    Chain(image.miniFatSectors, fat);
    Chain(image.miniStreamSectors, fat);
    for (const auto& stream : bigStreams)
        Chain(stream.second, fat);

    image.bytes.assign(size_t(image.sectorCount + 1) * ss, '\0');
    uint8_t* header = reinterpret_cast<uint8_t*>(image.bytes.data());
    const uint8_t signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    std::memcpy(header, signature, 8);
    image.Put16(24, 0x003E);
    image.Put16(26, static_cast<uint16_t>(m_layout.version));
    image.Put16(28, 0xFFFE);
    image.Put16(30, m_layout.version == 4 ? 12 : 9);
    image.Put16(32, 6);
    image.Put32(40, m_layout.version == 4 ? directoryCount : 0);
    image.Put32(44, fatCount);
    image.Put32(48, image.directorySectors.front());
    image.Put32(56, kCutoff);
    image.Put32(60, miniFatCount ? image.miniFatSectors.front() : cfb::kEndOfChain);
    image.Put32(64, miniFatCount);
    image.Put32(68, difatCount ? image.difatSectors.front() : cfb::kEndOfChain);
    image.Put32(72, difatCount);
    for (uint32_t i = 0; i < kHeaderDifat; i++)
        image.Put32(76 + i * 4, i < fatCount ? image.fatSectors[i] : cfb::kFreeSect);

    for (uint32_t d = 0; d < difatCount; d++) {
        uint64_t base = image.SectorOffset(image.difatSectors[d]);
        for (uint32_t j = 0; j + 1 < perSector; j++) {
            size_t listed = kHeaderDifat + size_t(d) * (perSector - 1) + j;
            image.Put32(base + j * 4, listed < fatCount ? image.fatSectors[listed] : cfb::kFreeSect);
        }
        image.Put32(base + (perSector - 1) * 4, d + 1 < difatCount ? image.difatSectors[d + 1] : cfb::kEndOfChain);
    }
    for (size_t i = 0; i < fat.size(); i++)
        image.Put32(image.SectorOffset(image.fatSectors[i / perSector]) + (i % perSector) * 4, fat[i]);

    std::vector<uint32_t> miniFat(size_t(miniFatCount) * perSector, cfb::kFreeSect);
    for (uint32_t i = 1; i < m_entries.size(); i++) {
        const FlatEntry& e = m_entries[i];
        if (e.type != 2 || e.size == 0 || e.size >= kCutoff)
            continue;
        const std::vector<uint32_t>& mini = image.chains[e.path];
        Chain(mini, miniFat);
        for (uint64_t b = 0; b < e.size; b++) {
            uint64_t at = uint64_t(mini[b / kMiniSectorSize]) * kMiniSectorSize + b % kMiniSectorSize;
            image.bytes[image.SectorOffset(image.miniStreamSectors[at / ss]) + at % ss] = static_cast<char>(DataByte(i, b));
        }
    }
    for (size_t i = 0; i < miniFat.size(); i++)
        image.Put32(image.SectorOffset(image.miniFatSectors[i / perSector]) + (i % perSector) * 4, miniFat[i]);

    // A sector at a time: streams of hundreds of MiB are built this way.
    for (const auto& stream : bigStreams) {
        const uint64_t size = m_entries[stream.first].size;
        for (size_t k = 0; k < stream.second.size(); k++) {
            const uint64_t first = uint64_t(k) * ss;
            const uint64_t count = std::min<uint64_t>(ss, size - first);
            char* out = image.bytes.data() + image.SectorOffset(stream.second[k]);
            for (uint64_t b = 0; b < count; b++)
                out[b] = static_cast<char>(DataByte(stream.first, first + b));
        }
    }
    for (uint32_t s : image.freeSectors)
        std::memset(image.bytes.data() + image.SectorOffset(s), 0xA5, ss);

    for (uint32_t i = 0; i < image.entryCount; i++) {
        uint64_t base = image.EntryOffset(i);
        if (i >= m_entries.size()) {
            image.Put32(base + cfb::kLeft, cfb::kNoStream);
            image.Put32(base + cfb::kRight, cfb::kNoStream);
            image.Put32(base + cfb::kChild, cfb::kNoStream);
            continue;
        }
        const FlatEntry& e = m_entries[i];
        for (size_t c = 0; c < e.name.size(); c++)
            image.Put16(base + c * 2, static_cast<uint8_t>(e.name[c]));
        image.Put16(base + cfb::kNameLength, static_cast<uint16_t>((e.name.size() + 1) * 2));
        image.bytes[base + cfb::kType] = static_cast<char>(e.type);
        image.bytes[base + 67] = 1;  // black
        image.Put32(base + cfb::kLeft, e.left);
        image.Put32(base + cfb::kRight, e.right);
        image.Put32(base + cfb::kChild, e.child);
        image.Put32(base + cfb::kStart, e.start);
        image.Put64(base + cfb::kSize, e.size);
        if (i > 0)
            image.entries[e.path] = i;
    }
    image.bytes += m_layout.trailing;
    return image;
}

}  // namespace

CfbNode CfbStream(const std::string& name, uint64_t size)
{
    CfbNode node;
    node.name = name;
    node.size = size;
    return node;
}

CfbNode CfbStorage(const std::string& name, std::vector<CfbNode> children)
{
    CfbNode node;
    node.name = name;
    node.storage = true;
    node.children = std::move(children);
    return node;
}

uint64_t CfbImage::EntryOffset(uint32_t index) const
{
    uint32_t perSector = sectorSize / kEntrySize;
    return SectorOffset(directorySectors.at(index / perSector)) + uint64_t(index % perSector) * kEntrySize;
}

uint64_t CfbImage::FatEntryOffset(uint32_t sector) const
{
    uint32_t perSector = sectorSize / 4;
    return SectorOffset(fatSectors.at(sector / perSector)) + uint64_t(sector % perSector) * 4;
}

uint64_t CfbImage::MiniFatEntryOffset(uint32_t miniSector) const
{
    uint32_t perSector = sectorSize / 4;
    return SectorOffset(miniFatSectors.at(miniSector / perSector)) + uint64_t(miniSector % perSector) * 4;
}

uint64_t CfbImage::StreamByteOffset(const std::string& path, uint64_t at) const
{
    const std::vector<uint32_t>& chain = chains.at(path);
    uint64_t size = Get32(EntryOffset(path) + cfb::kSize);
    if (size >= kCutoff)
        return SectorOffset(chain.at(at / sectorSize)) + at % sectorSize;
    uint64_t inMini = uint64_t(chain.at(at / kMiniSectorSize)) * kMiniSectorSize + at % kMiniSectorSize;
    return SectorOffset(miniStreamSectors.at(inMini / sectorSize)) + inMini % sectorSize;
}

void CfbImage::PutBof(const std::string& path)
{
    // Record 0x0809, 16 bytes: BIFF8 (0x0600), workbook globals (0x0005).
    const uint8_t bof[20] = {0x09, 0x08, 0x10, 0x00, 0x00, 0x06, 0x05, 0x00, 0xBB, 0x0D,
                             0xCC, 0x07, 0x00, 0x00, 0x00, 0x00, 0x06, 0x00, 0x00, 0x00};
    for (uint64_t i = 0; i < sizeof(bof); i++)
        bytes.at(StreamByteOffset(path, i)) = static_cast<char>(bof[i]);
}

uint32_t CfbImage::Get32(uint64_t offset) const
{
    uint32_t value = 0;
    for (int i = 3; i >= 0; i--)
        value = (value << 8) | static_cast<uint8_t>(bytes.at(offset + i));
    return value;
}

void CfbImage::Put16(uint64_t offset, uint16_t value)
{
    for (int i = 0; i < 2; i++)
        bytes.at(offset + i) = static_cast<char>(value >> (8 * i));
}

void CfbImage::Put32(uint64_t offset, uint32_t value)
{
    for (int i = 0; i < 4; i++)
        bytes.at(offset + i) = static_cast<char>(value >> (8 * i));
}

void CfbImage::Put64(uint64_t offset, uint64_t value)
{
    for (int i = 0; i < 8; i++)
        bytes.at(offset + i) = static_cast<char>(value >> (8 * i));
}

CfbImage BuildWorkbook(uint64_t size, int version, const std::string& name)
{
    CfbLayout layout;
    layout.version = version;
    layout.root = {CfbStream(name, size)};
    return BuildCfb(layout);
}

CfbImage BuildCfb(const CfbLayout& layout)
{
    return Builder(layout).Build();
}
