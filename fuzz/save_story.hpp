// The story the save fuzz target loads its inputs into, shared with the seed writer: it draws,
// sets variables, adds a button and stops inside a called page, so a save of it has every kind
// of entry.
#pragma once
#include <string>

#include "support/story.hpp"

namespace zarvo::fuzz {

inline std::string writeSaveStory(test::StoryBuilder& s) {
    s.writePicture("red.png", 64, 48, 0x0000FF);
    s.writePicture("button.png", 16, 8, 0xFF0000);
    return s.writeScript(test::storyScript(
        "<Head=\"LayerList\">\nLayerCount=2\nLayer.1.LayerName=A\n<Head End>\n"
        "<Book=\"スタートブック\">\n<Page=\"スタートページ\">\n"
        "GraphicDraw.FileName=red.png\n@GraphicDraw\n"
        "DynamicLayer.Type=Image\nDynamicLayer.Image.FileName=button.png\n"
        "DynamicLayer.Area.Left=10\nDynamicLayer.Area.Top=40\n@DynamicLayer\n"
        "MessageDraw.Text=文字\nMessageDraw.Effect=None\n@MessageDraw\n"
        "ValueCtrl.ValueVar=%v%\nValueCtrl.LeftValue=5\n@ValueCtrl\n"
        "StringCtrl.StringVar=$s$\nStringCtrl.Text=名前\n@StringCtrl\n"
        "Call.BookName=スタートブック\nCall.PageName=sub\n@Call\n<Page End>\n"
        "<Page=\"sub\">\nWait.InputBreak=1\n@Wait\n@Return\n<Page End>\n<Book End>\n",
        "FileType=QZ7\nLegacyMode=1\nBuildID=b1\nZarvoID=z1\nImageWidth=64\nImageHeight=48\n"));
}

}  // namespace zarvo::fuzz
