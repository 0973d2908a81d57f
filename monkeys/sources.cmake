# The sources of the codec library, in one place: monkeys/CMakeLists.txt
# and its core/ and tag/ build them, and the fuzz projects under tests/
# build them again with clang. Paths are relative to monkeys/.
set(MONKEYS_CONTAINER_SOURCES
  ApeFormat.cpp ApeReader.cpp Checksum.cpp Decode.cpp Decompressor.cpp Encode.cpp FrameMd5.cpp FramePipeline.cpp
  Exports.cpp Files.cpp Pcm.cpp Stream.cpp Wave.cpp)
set(MONKEYS_CORE_SOURCES
  core/Channels.cpp core/Cpu.cpp core/FrameCodec.cpp core/FrameLayout.cpp core/GolombRange.cpp core/LargeMemory.cpp core/Lms.cpp
  core/Lpc.cpp core/Prediction.cpp core/Residual.cpp core/ResidualSection.cpp core/Rice.cpp core/Search.cpp core/Tans.cpp)
# The instruction-set variants of the core's stages (MONKEYS_VECTOR_CODE).
set(MONKEYS_CORE_VECTOR_SOURCES core/ChannelsAvx2.cpp core/ChecksumClmul.cpp core/LmsAvx2.cpp core/LpcAvx2.cpp core/Md5Avx512.cpp
  core/ResidualAvx2.cpp core/TansAvx2.cpp)
set(MONKEYS_TAG_SOURCES tag/ApeTagFormat.cpp tag/FileTag.cpp)
