<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>AboutForm</name>
    <message>
        <source>本机名称：</source>
        <translation>Model:</translation>
    </message>
    <message>
        <source>软件版本：</source>
        <translation>Software version:</translation>
    </message>
    <message>
        <source>设备版本：</source>
        <translation>Device version:</translation>
    </message>
    <message>
        <source>关于</source>
        <translation>About</translation>
    </message>
</context>
<context>
    <name>AudioDecoder</name>
    <message>
        <source>未知</source>
        <translation>Unknown</translation>
    </message>
    <message>
        <source>该曲不可播放</source>
        <translation>This song cannot be played</translation>
    </message>
    <message>
        <source>受保护文件</source>
        <translation>Protected file</translation>
    </message>
    <message>
        <source>文件格式不支持</source>
        <translation>File format not supported</translation>
    </message>
</context>
<context>
    <name>DataBase</name>
    <message>
        <source>未知</source>
        <translation>Unknown</translation>
    </message>
</context>
<context>
    <name>DataCommunication</name>
    <message>
        <source>未发现固件文件</source>
        <translation>No firmware file found</translation>
    </message>
    <message>
        <source>更新固件错误</source>
        <translation>Firmware update error</translation>
    </message>
</context>
<context>
    <name>DividerSwitchForm</name>
    <message>
        <source>2分频</source>
        <translation>2-way</translation>
    </message>
    <message>
        <source>3分频</source>
        <translation>3-way</translation>
    </message>
    <message>
        <source>请按“Play”按键完成设定。</source>
        <translation>Please press &quot;Play&quot; to finish this setup.</translation>
    </message>
    <message>
        <source>正在切换，请稍后</source>
        <translation>Switching, please wait</translation>
    </message>
    <message>
        <source>切换成功</source>
        <translation>Switched successfully</translation>
    </message>
</context>
<context>
    <name>DsdDecoder</name>
    <message>
        <source>文件格式不支持</source>
        <translation>File format not supported</translation>
    </message>
    <message>
        <source>未知</source>
        <translation>Unknown</translation>
    </message>
</context>
<context>
    <name>EQLabel</name>
    <message>
        <source>高电平</source>
        <translation>Hi.Level</translation>
    </message>
    <message>
        <source>蓝牙音乐</source>
        <translation>BT Audio</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>OFF</translation>
    </message>
    <message>
        <source>光纤</source>
        <translation>Optical</translation>
    </message>
    <message>
        <source>同轴</source>
        <translation>Coaxial</translation>
    </message>
    <message>
        <source>蓝牙</source>
        <translation>Bluetooth</translation>
    </message>
    <message>
        <source>低电平</source>
        <translation>AUX</translation>
    </message>
    <message>
        <source>厘米</source>
        <translation>cm</translation>
    </message>
    <message>
        <source>英寸</source>
        <translation>inch</translation>
    </message>
    <message>
        <source>毫秒</source>
        <translation>ms</translation>
    </message>
</context>
<context>
    <name>ElectricCheckForm</name>
    <message>
        <source>固件更新</source>
        <translation>Firmware update</translation>
    </message>
    <message>
        <source>经销商设置</source>
        <translation>Dealer setting</translation>
    </message>
    <message>
        <source>序列号</source>
        <translation>Serial number</translation>
    </message>
    <message>
        <source>电检模式</source>
        <translation>DIAG mode</translation>
    </message>
    <message>
        <source>未发现固件文件</source>
        <translation>No firmware file found</translation>
    </message>
    <message>
        <source>没有序列号</source>
        <translation>No serial number</translation>
    </message>
    <message>
        <source>文件处理中</source>
        <translation>File processing</translation>
    </message>
    <message>
        <source>更新成功</source>
        <translation>Update completed</translation>
    </message>
    <message>
        <source>固件文件错误</source>
        <translation>Firmware file error</translation>
    </message>
</context>
<context>
    <name>FactoryEQForm</name>
    <message>
        <source>标准</source>
        <translation>Flat</translation>
    </message>
    <message>
        <source>流行</source>
        <translation>Pop</translation>
    </message>
    <message>
        <source>摇滚</source>
        <translation>Rock</translation>
    </message>
    <message>
        <source>新闻节目</source>
        <translation>News</translation>
    </message>
    <message>
        <source>爵士</source>
        <translation>Jazz</translation>
    </message>
    <message>
        <source>电子</source>
        <translation>Electronic</translation>
    </message>
    <message>
        <source>嘻哈</source>
        <translation>Hip Hop</translation>
    </message>
    <message>
        <source>轻音乐</source>
        <translation>Easy Listening</translation>
    </message>
    <message>
        <source>乡村</source>
        <translation>Country</translation>
    </message>
    <message>
        <source>古典</source>
        <translation>Classical</translation>
    </message>
    <message>
        <source>自定义</source>
        <translation>User</translation>
    </message>
</context>
<context>
    <name>MainUSBBTForm</name>
    <message>
        <source>缓冲中...</source>
        <translation>Buffering...</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>已清除异常指令</source>
        <translation>Error instruction cleared</translation>
    </message>
    <message>
        <source>APP已连接
不可进入设置界面</source>
        <translation>APP is connected
Cannot enter the setup</translation>
    </message>
    <message>
        <source>正在恢复原厂设置
请等待．．．</source>
        <translation>Restoring the factory settings,
please wait...</translation>
    </message>
    <message>
        <source>设备不支持</source>
        <translation>Unsupported device</translation>
    </message>
    <message>
        <source>请插入USB</source>
        <translation>No USB</translation>
    </message>
    <message>
        <source>无歌曲</source>
        <translation>No Song</translation>
    </message>
    <message>
        <source>设备读取中</source>
        <translation>Reading</translation>
    </message>
    <message>
        <source>设备搜寻中</source>
        <translation>Device searching</translation>
    </message>
    <message>
        <source>版本不匹配</source>
        <translation>Version mismatch</translation>
    </message>
    <message>
        <source>分频器设置</source>
        <translation>X-Over</translation>
    </message>
    <message>
        <source>未发现Tavelo系统</source>
        <translation>No Tavelo system found</translation>
    </message>
    <message>
        <source>系统不支持</source>
        <translation>System not supported</translation>
    </message>
    <message>
        <source>无超低通道</source>
        <translation>No SUB Channel</translation>
    </message>
    <message>
        <source>接入USB不可超过
6个硬盘/U盘/分区</source>
        <translation>Access to USB cannot exceed 6
hard drives/U disks/partitions</translation>
    </message>
    <message>
        <source>已存储</source>
        <translation>Stored</translation>
    </message>
    <message>
        <source>成功</source>
        <translation>Success</translation>
    </message>
    <message>
        <source>失败</source>
        <translation>Failed</translation>
    </message>
    <message>
        <source>未知</source>
        <translation>Unknown</translation>
    </message>
    <message>
        <source>电检模式</source>
        <translation>DIAG mode</translation>
    </message>
    <message>
        <source>方控学习</source>
        <translation>Steering wheel control</translation>
    </message>
    <message>
        <source>关于</source>
        <translation>About</translation>
    </message>
</context>
<context>
    <name>NavForm</name>
    <message>
        <source>高电平</source>
        <translation>Hi.Level</translation>
    </message>
    <message>
        <source>蓝牙音乐</source>
        <translation>BT Audio</translation>
    </message>
</context>
<context>
    <name>ScanAblumArtist</name>
    <message>
        <source>未知</source>
        <translation>Unknown</translation>
    </message>
</context>
<context>
    <name>Scanner</name>
    <message>
        <source>未知</source>
        <translation>Unknown</translation>
    </message>
</context>
<context>
    <name>SetupForm</name>
    <message>
        <source>音效设置</source>
        <translation>Sound settings</translation>
    </message>
    <message>
        <source>预设均衡器</source>
        <translation>Preset EQ</translation>
    </message>
    <message>
        <source>音效清除设置</source>
        <translation>Defeat settings</translation>
    </message>
    <message>
        <source>蓝牙</source>
        <translation>Bluetooth</translation>
    </message>
    <message>
        <source>通用</source>
        <translation>General</translation>
    </message>
    <message>
        <source>高音</source>
        <translation>Treble</translation>
    </message>
    <message>
        <source>低音</source>
        <translation>Bass</translation>
    </message>
    <message>
        <source>重低音 </source>
        <translation>Subwoofer</translation>
    </message>
    <message>
        <source>参数均衡器</source>
        <translation>Parametric EQ</translation>
    </message>
    <message>
        <source>左右平衡</source>
        <translation>Balance</translation>
    </message>
    <message>
        <source>前后平衡</source>
        <translation>Fader</translation>
    </message>
    <message>
        <source>输入音源音量</source>
        <translation>Input source volume</translation>
    </message>
    <message>
        <source>时间校正</source>
        <translation>Time correction</translation>
    </message>
    <message>
        <source>分频器设置</source>
        <translation>X-Over</translation>
    </message>
    <message>
        <source>声音设置存储</source>
        <translation>Sound memory</translation>
    </message>
    <message>
        <source>重低音</source>
        <translation>Subwoofer</translation>
    </message>
    <message>
        <source>重低音相位</source>
        <translation>Phase</translation>
    </message>
    <message>
        <source>重低音级别</source>
        <translation>Level</translation>
    </message>
    <message>
        <source>波段</source>
        <translation>Band</translation>
    </message>
    <message>
        <source>频率</source>
        <translation>Frequency</translation>
    </message>
    <message>
        <source>Q值</source>
        <translation>Q value</translation>
    </message>
    <message>
        <source>增益</source>
        <translation>Gain</translation>
    </message>
    <message>
        <source>蓝牙音乐</source>
        <translation>BT Audio</translation>
    </message>
    <message>
        <source>高电平</source>
        <translation>Hi.Level</translation>
    </message>
    <message>
        <source>高音 </source>
        <translation>High (HPF)</translation>
    </message>
    <message>
        <source>中音高通</source>
        <translation>Mid high (HPF)</translation>
    </message>
    <message>
        <source>中音低通</source>
        <translation>Mid low (LPF)</translation>
    </message>
    <message>
        <source>低音 </source>
        <translation>Low (LPF)</translation>
    </message>
    <message>
        <source>前置扬声器</source>
        <translation>Front (HPF)</translation>
    </message>
    <message>
        <source>后置扬声器</source>
        <translation>Rear (HPF)</translation>
    </message>
    <message>
        <source>重低音扬声器</source>
        <translation>Subwoofer (LPF)</translation>
    </message>
    <message>
        <source>斜率</source>
        <translation>Slope</translation>
    </message>
    <message>
        <source>经销商设置</source>
        <translation>Dealer setting</translation>
    </message>
    <message>
        <source>自定义设置</source>
        <translation>User setting</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>读取</source>
        <translation>Recall</translation>
    </message>
    <message>
        <source>辅助音源</source>
        <translation>Mix source</translation>
    </message>
    <message>
        <source>语言设置</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>艺术显示</source>
        <translation>Artwork display</translation>
    </message>
    <message>
        <source>调光器控制</source>
        <translation>Dimmer</translation>
    </message>
    <message>
        <source>Tavelo系统匹配</source>
        <translation>Tavelo system</translation>
    </message>
    <message>
        <source>方控学习</source>
        <translation>Steering wheel control</translation>
    </message>
    <message>
        <source>内置功放</source>
        <translation>Built-in AMP</translation>
    </message>
    <message>
        <source>同轴/光纤</source>
        <translation>SPDIF/Opt</translation>
    </message>
    <message>
        <source>系统采样率</source>
        <translation>Sampling Rate</translation>
    </message>
    <message>
        <source>恢复出厂设置</source>
        <translation>Clear all settings</translation>
    </message>
    <message>
        <source>关于</source>
        <translation>About</translation>
    </message>
    <message>
        <source>主音源衰减量</source>
        <translation>Main source attenuation</translation>
    </message>
    <message>
        <source>辅助音源选择</source>
        <translation>Mix source selection</translation>
    </message>
    <message>
        <source>调光级别</source>
        <translation>Dimmer level</translation>
    </message>
    <message>
        <source>黑屏设置</source>
        <translation>Blackout</translation>
    </message>
    <message>
        <source>同轴/光纤开关</source>
        <translation>SPDIF/Opt</translation>
    </message>
    <message>
        <source>输出音量</source>
        <translation>Output volume</translation>
    </message>
    <message>
        <source>主音量</source>
        <translation>Main volume</translation>
    </message>
    <message>
        <source>输入音源</source>
        <translation>Input source</translation>
    </message>
    <message>
        <source>混音音源</source>
        <translation>Mixer source</translation>
    </message>
    <message>
        <source>上拉强度</source>
        <translation>Pull-up strength</translation>
    </message>
    <message>
        <source>连接状态</source>
        <translation>Connection</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Setup</translation>
    </message>
    <message>
        <source>开</source>
        <translation>ON</translation>
    </message>
    <message>
        <source>关</source>
        <translation>OFF</translation>
    </message>
    <message>
        <source>自动</source>
        <translation>Auto</translation>
    </message>
    <message>
        <source>手动</source>
        <translation>Manual</translation>
    </message>
    <message>
        <source>强</source>
        <translation>Strong</translation>
    </message>
    <message>
        <source>弱</source>
        <translation>Weak</translation>
    </message>
    <message>
        <source>已连接</source>
        <translation>Connected</translation>
    </message>
    <message>
        <source>未连接</source>
        <translation>No phone</translation>
    </message>
    <message>
        <source>搜寻中...</source>
        <translation>Searching...</translation>
    </message>
    <message>
        <source>确定切换系统采样率%1? 
系统将会重启</source>
        <translation>Switch the system sampling rate to %1?
The system will restart after the switch.</translation>
    </message>
    <message>
        <source>确认清除音效设置？</source>
        <translation>Clear the sound effect settings?</translation>
    </message>
    <message>
        <source>请确认是否需要恢复原厂设置？
恢复后不可还原。</source>
        <translation>Are you sure you want to restore the factory settings?
You can&apos;t undo this action.</translation>
    </message>
    <message>
        <source>确认保存当前音效</source>
        <translation>Confirm to save the current sound effect</translation>
    </message>
    <message>
        <source>正在恢复原厂设置
请等待．．．</source>
        <translation>Restoring the factory settings,
please wait...</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>小型两厢</source>
        <translation>Small hatchback</translation>
    </message>
    <message>
        <source>小型三厢</source>
        <translation>Small sedan</translation>
    </message>
    <message>
        <source>中型三厢</source>
        <translation>Mid-size sedan</translation>
    </message>
    <message>
        <source>大型三厢</source>
        <translation>Large sedan</translation>
    </message>
    <message>
        <source>小型SUV</source>
        <translation>Small SUV</translation>
    </message>
    <message>
        <source>中大型SUV</source>
        <translation>Mid/large SUV</translation>
    </message>
    <message>
        <source>当前</source>
        <translation>Current</translation>
    </message>
</context>
<context>
    <name>TimeCorrention</name>
    <message>
        <source>前左扬声器</source>
        <translation>F-L</translation>
    </message>
    <message>
        <source>前右扬声器</source>
        <translation>F-R</translation>
    </message>
    <message>
        <source>后左扬声器</source>
        <translation>R-L</translation>
    </message>
    <message>
        <source>后右扬声器</source>
        <translation>R-R</translation>
    </message>
    <message>
        <source>左置重低音</source>
        <translation>SW-L</translation>
    </message>
    <message>
        <source>右置重低音</source>
        <translation>SW-R</translation>
    </message>
    <message>
        <source>左高音</source>
        <translation>H-L</translation>
    </message>
    <message>
        <source>右高音</source>
        <translation>H-R</translation>
    </message>
    <message>
        <source>左中音</source>
        <translation>M-L</translation>
    </message>
    <message>
        <source>右中音</source>
        <translation>M-R</translation>
    </message>
    <message>
        <source>左低音</source>
        <translation>L-L</translation>
    </message>
    <message>
        <source>右低音</source>
        <translation>L-R</translation>
    </message>
    <message>
        <source>单位</source>
        <translation>Unit</translation>
    </message>
</context>
<context>
    <name>TrackMainForm</name>
    <message>
        <source>艺术家</source>
        <translation>Artists</translation>
    </message>
    <message>
        <source>专辑</source>
        <translation>Albums</translation>
    </message>
    <message>
        <source>歌曲</source>
        <translation>Songs</translation>
    </message>
    <message>
        <source>文件格式</source>
        <translation>Format</translation>
    </message>
    <message>
        <source>日期</source>
        <translation>Date</translation>
    </message>
    <message>
        <source>文件大小</source>
        <translation>Size</translation>
    </message>
    <message>
        <source>曲目管理</source>
        <translation>Track management</translation>
    </message>
    <message>
        <source>类别</source>
        <translation>Category</translation>
    </message>
    <message>
        <source>%1个分区</source>
        <translation>%1 partitions</translation>
    </message>
    <message>
        <source>搜索</source>
        <translation>Search</translation>
    </message>
    <message>
        <source>加载中...</source>
        <translation>Loading...</translation>
    </message>
    <message>
        <source>没有文件</source>
        <translation>No file</translation>
    </message>
    <message>
        <source>分区</source>
        <translation>Partition</translation>
    </message>
</context>
<context>
    <name>UpgradeForm</name>
    <message>
        <source>固件更新中</source>
        <translation>Updating firmware</translation>
    </message>
    <message>
        <source>固件更新完成</source>
        <translation>Firmware update completed</translation>
    </message>
    <message>
        <source>升级失败 3秒后重启...</source>
        <translation>Upgrade failed, restarting in 3 seconds...</translation>
    </message>
</context>
<context>
    <name>WheelStudyForm</name>
    <message>
        <source>音量+</source>
        <translation>Volume +</translation>
    </message>
    <message>
        <source>音量-</source>
        <translation>Volume -</translation>
    </message>
    <message>
        <source>上一曲</source>
        <translation>Previous</translation>
    </message>
    <message>
        <source>下一曲</source>
        <translation>Next</translation>
    </message>
    <message>
        <source>播放/暂停</source>
        <translation>Play/Pause</translation>
    </message>
    <message>
        <source>静音</source>
        <translation>Mute</translation>
    </message>
    <message>
        <source>音源</source>
        <translation>Source</translation>
    </message>
    <message>
        <source>方控学习</source>
        <translation>Steering wheel control</translation>
    </message>
    <message>
        <source>已学习！重新学习请按确定</source>
        <translation>Already learned! Press OK to learn again</translation>
    </message>
    <message>
        <source>正在学习...
请按下方向盘按键</source>
        <translation>Learning...
Please press the steering wheel button</translation>
    </message>
    <message>
        <source>学习完成</source>
        <translation>Learning completed</translation>
    </message>
    <message>
        <source>学习失败</source>
        <translation>Learning failed</translation>
    </message>
</context>
</TS>
