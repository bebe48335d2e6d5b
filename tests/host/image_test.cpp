#include <hostsdk/image.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <algorithm>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

struct ImageDeleter {
    void operator()(Image* image) const { image->Recycle(); }
};
using ImagePtr = std::unique_ptr<Image, ImageDeleter>;

FltPixel Grey(float value) {
    FltPixel pixel;
    pixel.B = pixel.G = pixel.R = pixel.A = pixel.Z = value;
    return pixel;
}

float ReadBack(PixelType type, float written) {
    Image image(1, 1, type);
    image.SetPixel(0, 0, Grey(written));
    FltPixel pixel;
    image.GetPixel(0, 0, pixel);
    return pixel.R;
}

// Sets the image memory budget for one test and lifts it afterwards.
class ImageMemoryBudget {
public:
    explicit ImageMemoryBudget(size_t bytes) { SetImageMemoryLimit(bytes); }
    ~ImageMemoryBudget() { SetImageMemoryLimit(0); }
};

}  // namespace

TEST(Image, EightBitSamplesRoundTripAndScaleByTwoFiftyFive) {
    Image image(256, 1, PixelType::UInt8, false);
    for (int v = 0; v < 256; ++v) {
        image.SetPixel(v, 0, Grey(v / 255.0f));
    }
    std::vector<float> row(256);
    image.ReadRow(CHAN_RED, 0, 0, 256, row.data());
    const auto* raw = static_cast<const uint8_t*>(image.RawRow(CHAN_RED, 0));
    for (int v = 0; v < 256; ++v) {
        ASSERT_EQ(raw[v], v);
        ASSERT_EQ(row[v], static_cast<uint8_t>(v) / 255.0f);
    }
    EXPECT_EQ(ReadBack(PixelType::UInt8, 0.5f), 128 / 255.0f);  // 127.5 rounds up
    EXPECT_EQ(ReadBack(PixelType::UInt8, 0.3f / 255.0f), 0.0f);
}

TEST(Image, SixteenBitSamplesRoundTripAndScaleBySixtyFiveThousandFiveHundredThirtyFive) {
    Image image(65536, 1, PixelType::UInt16, false);
    auto* raw = static_cast<uint16_t*>(image.RawRow(CHAN_GREEN, 0));
    for (int v = 0; v < 65536; ++v) {
        raw[v] = static_cast<uint16_t>(v);
    }
    std::vector<float> row(65536);
    image.ReadRow(CHAN_GREEN, 0, 0, 65536, row.data());
    for (int v = 0; v < 65536; ++v) {
        ASSERT_EQ(row[v], static_cast<uint16_t>(v) / 65535.0f);
        FltPixel pixel;
        pixel.G = row[v];
        image.SetPixel(v, 0, pixel);
        ASSERT_EQ(raw[v], v);
    }
}

TEST(Image, IntegerSamplesClampAndTakeNaNAsZero) {
    for (PixelType type : {PixelType::UInt8, PixelType::UInt16}) {
        EXPECT_EQ(ReadBack(type, -0.5f), 0.0f);
        EXPECT_EQ(ReadBack(type, 1.5f), 1.0f);
        EXPECT_EQ(ReadBack(type, std::numeric_limits<float>::infinity()), 1.0f);
        EXPECT_EQ(ReadBack(type, -std::numeric_limits<float>::infinity()), 0.0f);
        EXPECT_EQ(ReadBack(type, std::numeric_limits<float>::quiet_NaN()), 0.0f);
    }
}

TEST(Image, HalfSamplesKeepWhatAHalfCanHold) {
    EXPECT_EQ(ReadBack(PixelType::Half, 0.1f), HalfToFloat(FloatToHalf(0.1f)));
    EXPECT_EQ(ReadBack(PixelType::Half, -3.5f), -3.5f);  // no clamping
    EXPECT_EQ(ReadBack(PixelType::Half, 1e6f), std::numeric_limits<float>::infinity());
    EXPECT_TRUE(std::isnan(ReadBack(PixelType::Half, std::numeric_limits<float>::quiet_NaN())));
}

TEST(Image, FloatSamplesAreKeptExactly) {
    EXPECT_EQ(ReadBack(PixelType::Float, 0.1f), 0.1f);
    EXPECT_EQ(ReadBack(PixelType::Float, -7.25f), -7.25f);
    EXPECT_TRUE(std::isnan(ReadBack(PixelType::Float, std::numeric_limits<float>::quiet_NaN())));
}

TEST(Image, PixelsKeepTheirChannelsApart) {
    Image image(3, 2, PixelType::Float);
    FltPixel pixel{0.1f, 0.2f, 0.3f, 0.4f, 5.0f};
    image.SetPixel(2, 1, pixel);
    FltPixel back;
    image.GetPixel(2, 1, back);
    EXPECT_EQ(back.B, 0.1f);
    EXPECT_EQ(back.G, 0.2f);
    EXPECT_EQ(back.R, 0.3f);
    EXPECT_EQ(back.A, 0.4f);
    EXPECT_EQ(back.Z, 5.0f);
    image.GetPixel(1, 1, back);
    EXPECT_EQ(back.R, 0.0f);  // new pixels are zero
}

TEST(Image, ImageWithoutDepthReadsZeroAndIgnoresDepthWrites) {
    Image flat(4, 4, PixelType::UInt16, false);
    Image deep(4, 4, PixelType::UInt16, true);
    EXPECT_FALSE(flat.HasDepth());
    EXPECT_TRUE(deep.HasDepth());
    EXPECT_EQ(flat.PixelBytes(), 4u * 4u * 4u * 2u);
    EXPECT_EQ(deep.PixelBytes(), 4u * 4u * 5u * 2u);
    flat.SetPixel(1, 1, Grey(0.5f));
    FltPixel pixel;
    flat.GetPixel(1, 1, pixel);
    EXPECT_EQ(pixel.Z, 0.0f);
    EXPECT_EQ(flat.RawRow(CHAN_DEPTH, 0), nullptr);
    float depth[4] = {1, 1, 1, 1};
    flat.ReadRow(CHAN_DEPTH, 1, 0, 4, depth);
    EXPECT_EQ(depth[1], 0.0f);
}

TEST(Image, FillSetsEveryPixelAtThePixelType) {
    Image image(5, 3, PixelType::UInt8);
    image.Fill(FltPixel{1.0f, 2.0f, 0.5f, -1.0f, 0.25f});
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            FltPixel pixel;
            image.GetPixel(x, y, pixel);
            ASSERT_EQ(pixel.B, 1.0f);
            ASSERT_EQ(pixel.G, 1.0f);
            ASSERT_EQ(pixel.R, 128 / 255.0f);
            ASSERT_EQ(pixel.A, 0.0f);
            ASSERT_EQ(pixel.Z, 64 / 255.0f);
        }
    }
}

TEST(Image, AccessOutsideTheImageIsRefused) {
    Image image(4, 3);
    FltPixel pixel;
    EXPECT_THROW(image.GetPixel(-1, 0, pixel), std::out_of_range);
    EXPECT_THROW(image.GetPixel(4, 0, pixel), std::out_of_range);
    EXPECT_THROW(image.GetPixel(0, 3, pixel), std::out_of_range);
    EXPECT_THROW(image.SetPixel(0, -1, pixel), std::out_of_range);
    float row[8];
    EXPECT_THROW(image.ReadRow(CHAN_RED, 0, 1, 4, row), std::out_of_range);
    EXPECT_THROW(image.ReadRow(CHAN_RED, 0, -1, 2, row), std::out_of_range);
    EXPECT_THROW(image.ReadRow(CHANNEL_COUNT, 0, 0, 1, row), std::out_of_range);
    EXPECT_THROW(image.ReadRow(CHAN_RED, 3, 0, 1, row), std::out_of_range);
    EXPECT_THROW(image.RawRow(CHAN_RED, 3), std::out_of_range);
    EXPECT_NO_THROW(image.ReadRow(CHAN_RED, 2, 0, 4, row));
    EXPECT_THROW(Image(-1, 2), std::invalid_argument);
}

template <typename Error, typename Call>
std::string MessageOf(Call call) {
    try {
        call();
    } catch (const Error& error) {
        return error.what();
    }
    return "no error";
}

TEST(Image, RefusalsNameThePlaceAndTheImagesBounds) {
    Image image(4, 3);
    FltPixel pixel;
    float row[8];
    EXPECT_EQ(MessageOf<std::out_of_range>([&] { image.GetPixel(4, -2, pixel); }),
              "pixel (4, -2) outside the image of 4 x 3");
    EXPECT_EQ(MessageOf<std::out_of_range>([&] { image.ReadRow(CHANNEL_COUNT, 1, 0, 1, row); }),
              "channel 5, row 1 outside the image");
    EXPECT_EQ(MessageOf<std::out_of_range>([&] { image.UniformPlane(-1, nullptr); }),
              "channel -1 outside the image");
    EXPECT_EQ(MessageOf<std::out_of_range>([&] { image.ReadRow(CHAN_RED, 0, 1, 4, row); }),
              "columns 1 + 4 outside the image's width 4");
    EXPECT_EQ(MessageOf<std::invalid_argument>([] { Image(-1, 2); }), "image size -1 x 2 is negative");
}

TEST(Image, MemoryBudgetRefusesImagesBeyondIt) {
    const size_t inUse = ImageMemoryInUse();
    const size_t frameBytes = 8 * 8 * 5 * sizeof(float);
    ImageMemoryBudget budget(inUse + 2 * frameBytes);

    ImagePtr first(new Image(8, 8));
    EXPECT_EQ(ImageMemoryInUse(), inUse + frameBytes);
    ImagePtr second(new Image(8, 8));
    EXPECT_THROW(Image(8, 8), std::bad_alloc);
    EXPECT_EQ(NewImage(TAG_ImageLike, first.get(), TAG_DONE), nullptr);

    second.reset();
    ImagePtr third(NewImage(TAG_ImageLike, first.get(), TAG_DONE));
    EXPECT_NE(third, nullptr);
    first.reset();
    third.reset();
    EXPECT_EQ(ImageMemoryInUse(), inUse);
}

TEST(Image, SizeBeyondAnyMemoryIsRefused) {
    const size_t live = _Object::LiveCount();
    EXPECT_THROW(Image(std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::max()), std::bad_alloc);
    EXPECT_EQ(_Object::LiveCount(), live);
}

TEST(Image, NewImageTakesTheSizeAndDepthOfItsModel) {
    Image model(7, 5, PixelType::UInt8, false);
    model.Fill(Grey(1.0f));
    ImagePtr made(NewImage(TAG_ImageLike, &model, TAG_DONE));
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->Width(), 7);
    EXPECT_EQ(made->Height(), 5);
    EXPECT_EQ(made->Type(), PixelType::Float);
    EXPECT_FALSE(made->HasDepth());
    EXPECT_STREQ(made->DataType().Text(), "Image");
    FltPixel pixel;
    made->GetPixel(6, 4, pixel);
    EXPECT_EQ(pixel.R, 0.0f);
}

TEST(Image, NewImageWithoutAModelGivesNone) {
    EXPECT_EQ(NewImage(TagList()), nullptr);
    EXPECT_EQ(NewImage(TAG_ImageLike, static_cast<const Image*>(nullptr), TAG_DONE), nullptr);
}

TEST(Image, FilledImageKeepsTheFillWhereLaterWritesDoNotReach) {
    for (PixelType type : {PixelType::UInt8, PixelType::Half, PixelType::Float}) {
        Image image(6, 4, type);
        image.Fill(Grey(1.0f));
        FltPixel pixel;
        image.GetPixel(5, 3, pixel);
        EXPECT_EQ(pixel.A, 1.0f);
        std::vector<float> row(6);
        image.ReadRow(CHAN_GREEN, 2, 0, 6, row.data());
        EXPECT_EQ(row, std::vector<float>(6, 1.0f));

        image.SetPixel(2, 1, Grey(0.0f));
        image.GetPixel(2, 1, pixel);
        EXPECT_EQ(pixel.R, 0.0f);
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 6; ++x) {
                image.GetPixel(x, y, pixel);
                if (x != 2 || y != 1) {
                    ASSERT_EQ(pixel.B, 1.0f) << x << "," << y;
                }
            }
        }
        // A fill over written pixels covers them all again.
        image.Fill(Grey(0.0f));
        image.GetPixel(0, 0, pixel);
        EXPECT_EQ(pixel.R, 0.0f);
        image.GetPixel(2, 1, pixel);
        EXPECT_EQ(pixel.R, 0.0f);
        static_cast<uint8_t*>(image.RawRow(CHAN_RED, 3))[0] = 0x3c;  // a first write through a raw row
        image.GetPixel(0, 2, pixel);
        EXPECT_EQ(pixel.R, 0.0f);
    }
}

TEST(Image, RowsWrittenFromManyThreadsAtOnceAllLand) {
    Image image(64, 256, PixelType::Float, false);
    image.Fill(Grey(0.5f));
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([&image, t] {
            for (int32_t y = t; y < 256; y += 4) static_cast<float*>(image.RawRow(CHAN_RED, y))[y % 64] = float(y);
        });
    }
    for (std::thread& writer : writers) writer.join();
    for (int32_t y = 0; y < 256; ++y) {
        FltPixel pixel;
        image.GetPixel(y % 64, y, pixel);
        ASSERT_EQ(pixel.R, float(y));
        image.GetPixel((y + 1) % 64, y, pixel);
        ASSERT_EQ(pixel.R, 0.5f);
        ASSERT_EQ(pixel.A, 0.5f);
    }
}

namespace {

// Planes held by the test, recording the rows read.
class TestPixels : public ExternalPixels {
public:
    explicit TestPixels(std::vector<uint16_t> planes, std::vector<int32_t>* rowsRead)
        : planes_(std::move(planes)), rowsRead_(rowsRead) {}
    const unsigned char* Planes() const override { return reinterpret_cast<const unsigned char*>(planes_.data()); }
    void RowRead(int32_t y) const override { rowsRead_->push_back(y); }

private:
    std::vector<uint16_t> planes_;
    std::vector<int32_t>* rowsRead_;
};

}  // namespace

TEST(Image, ExternalPixelsAreReadInPlaceAndNeverWritten) {
    constexpr int32_t kWidth = 3, kHeight = 2;
    std::vector<uint16_t> planes(4 * kWidth * kHeight);
    for (size_t i = 0; i < planes.size(); ++i) planes[i] = static_cast<uint16_t>(i * 1000);
    std::vector<int32_t> rowsRead;
    const size_t inUse = ImageMemoryInUse();
    Image image(kWidth, kHeight, PixelType::UInt16, false, std::make_unique<TestPixels>(planes, &rowsRead));
    EXPECT_EQ(ImageMemoryInUse(), inUse);
    EXPECT_TRUE(image.IsReadOnly());

    FltPixel pixel;
    image.GetPixel(2, 1, pixel);  // plane c, row 1, column 2: sample c * 6 + 5
    EXPECT_EQ(pixel.B, 5000 / 65535.0f);
    EXPECT_EQ(pixel.G, 11000 / 65535.0f);
    EXPECT_EQ(pixel.A, 23000 / 65535.0f);
    EXPECT_EQ(pixel.Z, 0.0f);
    std::vector<float> row(kWidth);
    image.ReadRow(CHAN_RED, 0, 0, kWidth, row.data());
    EXPECT_EQ(row[1], 13000 / 65535.0f);
    EXPECT_EQ(static_cast<const uint16_t*>(static_cast<const Image&>(image).RawRow(CHAN_ALPHA, 1))[0], 21000);
    EXPECT_NE(std::find(rowsRead.begin(), rowsRead.end(), 1), rowsRead.end());
    EXPECT_NE(std::find(rowsRead.begin(), rowsRead.end(), 0), rowsRead.end());

    EXPECT_THROW(image.SetPixel(0, 0, pixel), std::logic_error);
    EXPECT_THROW(image.Fill(pixel), std::logic_error);
    EXPECT_THROW(image.RawRow(CHAN_RED, 0), std::logic_error);
    image.GetPixel(2, 1, pixel);
    EXPECT_EQ(pixel.B, 5000 / 65535.0f);
}

namespace {

uint32_t BitsOf(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// Every sample of every channel of the image, as GetPixel, ReadRow and the
// raw rows give them (each must agree), compared bit for bit with
// `expected(x, y, c)`.
template <typename Expected>
void ExpectEverySample(const Image& image, Expected expected) {
    std::vector<float> row(static_cast<size_t>(image.Width()));
    for (int32_t y = 0; y < image.Height(); ++y) {
        for (int channel = 0; channel < CHANNEL_COUNT; ++channel) {
            image.ReadRow(channel, y, 0, image.Width(), row.data());
            const auto* raw = static_cast<const float*>(image.RawRow(channel, y));
            for (int32_t x = 0; x < image.Width(); ++x) {
                FltPixel pixel;
                image.GetPixel(x, y, pixel);
                const float fields[CHANNEL_COUNT] = {pixel.B, pixel.G, pixel.R, pixel.A, pixel.Z};
                const float want = expected(x, y, channel);
                ASSERT_EQ(BitsOf(fields[channel]), BitsOf(want)) << "(" << x << ", " << y << ") channel " << channel;
                ASSERT_EQ(BitsOf(row[static_cast<size_t>(x)]), BitsOf(want)) << "(" << x << ", " << y << ") channel "
                                                                             << channel;
                if (raw != nullptr && image.Type() == PixelType::Float) {
                    ASSERT_EQ(BitsOf(raw[x]), BitsOf(want));
                }
            }
        }
    }
}

}  // namespace

// Pixel memory is taken as it comes, from images gone before (frame-sized
// blocks are kept for reuse): an image must read as zero wherever it was
// not written, whatever the block held, so that no stale sample reaches an
// output.
TEST(Image, ANewImageNeverShowsWhatItsMemoryHeldBefore) {
    constexpr int32_t kWidth = 512, kHeight = 600;  // 6 MB, a block that is kept
    for (int round = 0; round < 3; ++round) {
        {
            Image dirty(kWidth, kHeight);
            for (int channel = 0; channel < CHANNEL_COUNT; ++channel)
                for (int32_t y = 0; y < kHeight; ++y)
                    std::fill_n(static_cast<float*>(dirty.RawRow(channel, y)), kWidth, 1e30f + float(round));
        }
        const Image model(kWidth, kHeight);
        ImagePtr fresh(round == 0 ? new Image(kWidth, kHeight) : NewImage(TAG_ImageLike, &model, TAG_DONE));
        ASSERT_NE(fresh, nullptr);
        fresh->SetPixel(7, 5, Grey(0.25f));
        static_cast<float*>(fresh->RawRow(CHAN_RED, 9))[3] = 2.0f;  // a row's first write through its raw row
        ExpectEverySample(*fresh, [](int32_t x, int32_t y, int channel) {
            if (x == 7 && y == 5) return 0.25f;
            return x == 3 && y == 9 && channel == CHAN_RED ? 2.0f : 0.0f;
        });
    }
}

TEST(Image, PlanesNeverWrittenOrFilledAreUniformUntilARowOfThemIsWritten) {
    for (PixelType type : {PixelType::UInt8, PixelType::UInt16, PixelType::Half, PixelType::Float}) {
        Image image(5, 3, type, false);
        float value = -1.0f;
        for (int channel = 0; channel < CHANNEL_COUNT; ++channel) {
            EXPECT_TRUE(image.UniformPlane(channel, &value));
            EXPECT_EQ(value, 0.0f);  // depth too: an image without a depth plane reads 0
        }
        FltPixel fill = Grey(0.3f);
        fill.A = 1.0f;
        image.Fill(fill);
        EXPECT_TRUE(image.UniformPlane(CHAN_RED, &value));
        EXPECT_EQ(value, ReadBack(type, 0.3f));
        EXPECT_TRUE(image.UniformPlane(CHAN_ALPHA, &value));
        EXPECT_EQ(value, 1.0f);

        image.RawRow(CHAN_ALPHA, 2);  // a row written, whatever it then holds
        EXPECT_FALSE(image.UniformPlane(CHAN_ALPHA));
        EXPECT_TRUE(image.UniformPlane(CHAN_RED));
        image.SetPixel(4, 0, Grey(0.0f));
        EXPECT_FALSE(image.UniformPlane(CHAN_RED));
        image.Fill(fill);
        EXPECT_TRUE(image.UniformPlane(CHAN_ALPHA));
    }
    EXPECT_THROW(Image(1, 1).UniformPlane(CHANNEL_COUNT), std::out_of_range);
}

// Planes that hold one value throughout are found whatever the value's bits
// (a signed zero, a NaN with its payload), read the same afterwards, and
// become their own again where written; a plane that differs in its very
// last sample is not uniform.
TEST(Image, PlanesFoundUniformReadAsBeforeUntilWritten) {
    constexpr int32_t kWidth = 7, kHeight = 4;
    Image image(kWidth, kHeight, PixelType::Half);
    const uint16_t bits[CHANNEL_COUNT] = {0x3C00, 0x8000, 0x7C01, 0x3A00, 0x3800};
    for (int channel = 0; channel < CHANNEL_COUNT; ++channel)
        for (int32_t y = 0; y < kHeight; ++y)
            std::fill_n(static_cast<uint16_t*>(image.RawRow(channel, y)), kWidth, bits[channel]);
    static_cast<uint16_t*>(image.RawRow(CHAN_BLUE, 1))[2] = 0x3C01;
    static_cast<uint16_t*>(image.RawRow(CHAN_DEPTH, kHeight - 1))[kWidth - 1] = 0;
    const auto before = [&](int32_t x, int32_t y, int channel) {
        if (channel == CHAN_BLUE && x == 2 && y == 1) return HalfToFloat(0x3C01);
        return channel == CHAN_DEPTH && x == kWidth - 1 && y == kHeight - 1 ? 0.0f : HalfToFloat(bits[channel]);
    };

    image.FindUniformPlanes();
    const bool uniform[CHANNEL_COUNT] = {false, true, true, true, false};
    for (int channel = 0; channel < CHANNEL_COUNT; ++channel) {
        float value = 0.0f;
        ASSERT_EQ(image.UniformPlane(channel, &value), uniform[channel]) << "channel " << channel;
        if (uniform[channel]) {
            EXPECT_EQ(BitsOf(value), BitsOf(HalfToFloat(bits[channel])));
        }
    }
    ExpectEverySample(image, before);

    static_cast<uint16_t*>(image.RawRow(CHAN_RED, 3))[0] = 0x3C00;
    EXPECT_FALSE(image.UniformPlane(CHAN_RED));
    ExpectEverySample(image, [&](int32_t x, int32_t y, int channel) {
        return channel == CHAN_RED && x == 0 && y == 3 ? 1.0f : before(x, y, channel);
    });
}

// A copy of a frame whose planes lie elsewhere (a disk cache) shares the
// frame's uniform planes and reads them without touching its storage.
TEST(Image, ExternalCopySharesTheUniformPlanesOfItsFrame) {
    constexpr int32_t kWidth = 3, kHeight = 2;
    std::vector<uint16_t> planes(4 * kWidth * kHeight);
    for (size_t i = 0; i < planes.size(); ++i) planes[i] = i >= 3 * kWidth * kHeight ? 0xFFFF : uint16_t(i * 1000);
    Image frame(kWidth, kHeight, PixelType::UInt16, false);
    for (int channel = 0; channel <= CHAN_ALPHA; ++channel)
        for (int32_t y = 0; y < kHeight; ++y)
            std::memcpy(frame.RawRow(channel, y), &planes[static_cast<size_t>((channel * kHeight + y) * kWidth)],
                        kWidth * sizeof(uint16_t));
    frame.FindUniformPlanes();
    ASSERT_TRUE(frame.UniformPlane(CHAN_ALPHA));
    std::vector<int32_t> rowsRead;
    Image copy(kWidth, kHeight, PixelType::UInt16, false, std::make_unique<TestPixels>(planes, &rowsRead));
    EXPECT_FALSE(copy.UniformPlane(CHAN_ALPHA));
    copy.ShareUniformPlanes(frame);
    EXPECT_TRUE(copy.UniformPlane(CHAN_ALPHA));
    EXPECT_FALSE(copy.UniformPlane(CHAN_RED));
    std::vector<float> row(kWidth);
    copy.ReadRow(CHAN_ALPHA, 1, 0, kWidth, row.data());
    EXPECT_EQ(row, std::vector<float>(kWidth, 1.0f));
    EXPECT_TRUE(rowsRead.empty()) << "the uniform plane is read from its shared row";
    ExpectEverySample(copy, [&](int32_t x, int32_t y, int channel) {
        return channel == CHAN_DEPTH ? 0.0f : planes[static_cast<size_t>((channel * kHeight + y) * kWidth + x)] / 65535.0f;
    });
    EXPECT_THROW(copy.ShareUniformPlanes(Image(kWidth, kHeight + 1, PixelType::UInt16, false)), std::invalid_argument);
}
