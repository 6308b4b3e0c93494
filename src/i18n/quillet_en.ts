<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>quillet</name>
    <message>
        <source>Decompiling...</source>
        <translation>Decompiling...</translation>
    </message>
    <message>
        <source>Analyzing...</source>
        <translation>Analyzing...</translation>
    </message>
    <message>
        <source>Launching Word...</source>
        <translation>Launching Word...</translation>
    </message>
    <message>
        <source>保存文档...</source>
        <translation>Saving the document...</translation>
    </message>
    <message>
        <source>Preparing to distill pages...</source>
        <translation>Preparing to distill pages...</translation>
    </message>
    <message>
        <source>Distilling pages...</source>
        <translation>Distilling pages...</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>失败。</source>
        <translation>Failed.</translation>
    </message>
    <message>
        <source> 拒绝访问！它可能已被打开。请关闭它，然后重试。</source>
        <translation> cannot be written: it may be open in another program. Close it, then try again.</translation>
    </message>
    <message>
        <source>字体名称:</source>
        <translation>Font name:</translation>
    </message>
    <message>
        <source>大小:</source>
        <translation>Size:</translation>
    </message>
    <message>
        <source>颜色:</source>
        <translation>Color:</translation>
    </message>
    <message>
        <source>样式</source>
        <translation>Style</translation>
    </message>
    <message>
        <source>粗体</source>
        <translation>Bold</translation>
    </message>
    <message>
        <source>斜体</source>
        <translation>Italic</translation>
    </message>
    <message>
        <source>下划线</source>
        <translation>Underline</translation>
    </message>
    <message>
        <source>预览</source>
        <translation>Preview</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>标题样式</source>
        <translation>Heading Styles</translation>
    </message>
    <message>
        <source>信件</source>
        <translation>Letter</translation>
    </message>
    <message>
        <source>小报</source>
        <translation>Tabloid</translation>
    </message>
    <message>
        <source>法律</source>
        <translation>Legal</translation>
    </message>
    <message>
        <source>自定义大小...</source>
        <translation>Custom size...</translation>
    </message>
    <message>
        <source>Word 97-2003 文档 (*.doc)</source>
        <translation>Word 97-2003 documents (*.doc)</translation>
    </message>
    <message>
        <source>Word 文档 (*.docx)</source>
        <translation>Word documents (*.docx)</translation>
    </message>
    <message>
        <source>PDF 文档 (*.pdf)</source>
        <translation>PDF documents (*.pdf)</translation>
    </message>
    <message>
        <source>CHM 文件:</source>
        <translation>Help file (.chm):</translation>
    </message>
    <message>
        <source>查看</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>文件夹</source>
        <translation>Folder</translation>
    </message>
    <message>
        <source>Word 文档:</source>
        <translation>Document:</translation>
    </message>
    <message>
        <source>文档标题:</source>
        <translation>Document title:</translation>
    </message>
    <message>
        <source>语言:</source>
        <translation>Language:</translation>
    </message>
    <message>
        <source>页面设置</source>
        <translation>Page Setup</translation>
    </message>
    <message>
        <source>纸张大小:</source>
        <translation>Paper size:</translation>
    </message>
    <message>
        <source>高度:</source>
        <translation>Height:</translation>
    </message>
    <message>
        <source>宽度:</source>
        <translation>Width:</translation>
    </message>
    <message>
        <source>边距 (mm):</source>
        <translation>Margins (mm):</translation>
    </message>
    <message>
        <source>顶部:</source>
        <translation>Top:</translation>
    </message>
    <message>
        <source>底部:</source>
        <translation>Bottom:</translation>
    </message>
    <message>
        <source>左侧:</source>
        <translation>Left:</translation>
    </message>
    <message>
        <source>右侧:</source>
        <translation>Right:</translation>
    </message>
    <message>
        <source>主题</source>
        <translation>Pages outside the contents</translation>
    </message>
    <message>
        <source>放弃</source>
        <translation>Leave out</translation>
    </message>
    <message>
        <source>读取链接的其他帮助文件</source>
        <translation>Read help files that pages link to</translation>
    </message>
    <message>
        <source>页面链接到同一文件夹中的其他帮助文件时（ms-its:other.chm::），将其页面一并转换</source>
        <translation>When pages link to another help file in the same folder (ms-its:other.chm::), convert its pages too</translation>
    </message>
    <message>
        <source>融入到</source>
        <translation>Include under</translation>
    </message>
    <message>
        <source>标题:</source>
        <translation>Heading:</translation>
    </message>
    <message>
        <source>附录</source>
        <translation>Addenda</translation>
    </message>
    <message>
        <source>元素</source>
        <translation>Elements</translation>
    </message>
    <message>
        <source>封面</source>
        <translation>Cover</translation>
    </message>
    <message>
        <source>标头</source>
        <translation>Header</translation>
    </message>
    <message>
        <source>页脚</source>
        <translation>Footer</translation>
    </message>
    <message>
        <source>目录</source>
        <translation>Contents</translation>
    </message>
    <message>
        <source>显示级别:</source>
        <translation>Levels shown:</translation>
    </message>
    <message>
        <source>增强</source>
        <translation>Extras</translation>
    </message>
    <message>
        <source>添加标题号码</source>
        <translation>Number the headings</translation>
    </message>
    <message>
        <source>超链接后添加提示</source>
        <translation>Add a hint after links</translation>
    </message>
    <message>
        <source>提示格式:</source>
        <translation>Hint format:</translation>
    </message>
    <message>
        <source>看见 [标题编号]</source>
        <translation>See [Title No.]</translation>
    </message>
    <message>
        <source>开始新的一页:</source>
        <translation>Start a new page:</translation>
    </message>
    <message>
        <source>连续</source>
        <translation>Never</translation>
    </message>
    <message>
        <source>用于第一级主题</source>
        <translation>For each first-level topic</translation>
    </message>
    <message>
        <source>用于每一个主题</source>
        <translation>For every topic</translation>
    </message>
    <message>
        <source>标题样式..</source>
        <translation>Heading Styles...</translation>
    </message>
    <message>
        <source>转换</source>
        <translation>Convert</translation>
    </message>
    <message>
        <source>项目(&amp;P)</source>
        <translation>&amp;Project</translation>
    </message>
    <message>
        <source>保存当前设置</source>
        <translation>Save Current Settings</translation>
    </message>
    <message>
        <source>载入原始设置</source>
        <translation>Load Default Settings</translation>
    </message>
    <message>
        <source>转换...</source>
        <translation>Convert...</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>关于(&amp;A)</source>
        <translation>&amp;About</translation>
    </message>
    <message>
        <source>帮助</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>关于</source>
        <translation>About</translation>
    </message>
    <message>
        <source>选择 CHM 文件转换</source>
        <translation>Choose a help file to convert</translation>
    </message>
    <message>
        <source>CHM 文件 (*.chm)</source>
        <translation>Compiled help files (*.chm)</translation>
    </message>
    <message>
        <source>转换到</source>
        <translation>Convert to</translation>
    </message>
    <message>
        <source>Microsoft Word 尚未安装。无法继续。</source>
        <translation>Microsoft Word is not installed. The conversion cannot go on.</translation>
    </message>
    <message>
        <source>同时，请不要使用系统剪贴板。</source>
        <translation>Meanwhile, please do not use the system clipboard.</translation>
    </message>
    <message>
        <source>创建封面...</source>
        <translation>Creating the cover...</translation>
    </message>
    <message>
        <source>创建 TOC...</source>
        <translation>Creating the table of contents...</translation>
    </message>
    <message>
        <source>页眉和页脚...</source>
        <translation>Headers and footers...</translation>
    </message>
    <message>
        <source>更新 TOC...</source>
        <translation>Updating the table of contents...</translation>
    </message>
    <message>
        <source>调整内嵌形状...</source>
        <translation>Resizing inline shapes...</translation>
    </message>
    <message>
        <source>Resizing inline Shapes (%1 of %2)...</source>
        <translation>Resizing inline shapes (%1 of %2)...</translation>
    </message>
    <message>
        <source>打开文档...</source>
        <translation>Opening the document...</translation>
    </message>
    <message>
        <source>OK!</source>
        <translation>OK!</translation>
    </message>
    <message>
        <source>Word launched.</source>
        <translation>Word launched.</translation>
    </message>
    <message>
        <source>Freshing document(it may take a long time)...</source>
        <translation>Refreshing the document (this may take a while)...</translation>
    </message>
    <message>
        <source>创建文件...</source>
        <translation>Creating the document...</translation>
    </message>
    <message>
        <source>Processing (%1 of %2) %3...</source>
        <translation>Processing (%1 of %2) %3...</translation>
    </message>
    <message>
        <source>用户取消！</source>
        <translation>Cancelled by the user.</translation>
    </message>
    <message>
        <source>a table of %1 rows is read without its row and column spans, which would make a grid of more than %2 cells.</source>
        <translation>a table of %1 rows is read without its row and column spans, which would make a grid of more than %2 cells.</translation>
    </message>
    <message>
        <source>索引</source>
        <translation>Index</translation>
    </message>
    <message>
        <source>帮助文件有索引文件（.hhk）时，在文档末尾用其关键字建立索引</source>
        <translation>When the help file has an index file (.hhk), build an index from its keywords at the end of the document</translation>
    </message>
</context>
</TS>
