#pragma once
// The three tables through which a listing renders every byte of a BASIC program:
// keyword tokens, the home computer's characters (a working copy that the settings file
// fills) and its control codes. All texts are code page 932 bytes.

enum { CharacterTableSize = 512 };  // 256 entries of two bytes
enum { GraphicPrefix = 0x14 };      // makes the next byte a semigraphic character
enum { DataToken = 0x83, RemToken = 0x8E };  // the rest of their line is literal
enum { LineBodyLimit = 255 };  // bytes of one line's tokenized body, the most the machine takes

extern const char* const KeywordTable[128];        // token 0x80 + i
extern const char DefaultCharacterTable[CharacterTableSize + 1];  // + a zero byte
extern char CharacterTable[CharacterTableSize + 1];  // the working copy every lookup reads
extern const char* const ControlCodeTexts[30];     // codes 0x01 to 0x1F without 0x14

const char* keywordText(unsigned token);            // 0x80 to 0xFF
const char* characterText(unsigned code);           // two bytes, not zero-terminated
// Two bytes: entry code - 0x30 for 0x30 to 0xFF; a lower code has no semigraphic entry
// and gives its ordinary character text.
const char* graphicCharacterText(unsigned code);
const char* controlText(unsigned code);  // 0x01 to 0x1F, not GraphicPrefix; others give ""
