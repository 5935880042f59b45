#include "image/image_kinds.h"
#include "image/sector_source.h"
#include "support/image_builder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

// Each row of the table opens a real file of its kind, under each of its extensions (and under a raw image's name
// for a kind known by its signature), as the row says: the layout of a raw kind, a decoded disc of a container.
TEST(ImageKinds, EachRowOpensAFileOfItsKind)
{
    testing_support::TempDir dir;
    for (const image::ImageKind& kind : image::image_kinds()) {
        SCOPED_TRACE(std::string(kind.label));
        const std::vector<std::uint8_t> bytes = testing_support::kind_sample(kind.label);
        ASSERT_FALSE(bytes.empty()) << "no sample file for this kind";
        if (kind.signature != nullptr) {
            EXPECT_TRUE(kind.signature(bytes));
        }
        std::vector<std::string> names;
        for (const std::string_view extension : kind.extensions)
            names.push_back("sample." + std::string(extension));
        if (kind.whatever_name)
            names.push_back("sample.mgt");
        ASSERT_FALSE(names.empty());
        for (const std::string& name : names) {
            SCOPED_TRACE(name);
            testing_support::write_file(dir / name, bytes);
            EXPECT_TRUE(image::is_any_image_name(name));
            auto opened = image::open_image((dir / name).string());
            const auto* image = std::get_if<image::OpenImage>(&opened);
            ASSERT_NE(image, nullptr) << (std::holds_alternative<common::Error>(opened)
                                              ? std::get<common::Error>(opened).text
                                              : "a choice");
            EXPECT_TRUE(image->scannable);
            if (kind.form == image::ImageForm::Raw) {
                EXPECT_EQ(image->layout, kind.layout);
            }
        }
    }
}
