<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ko" sourcelanguage="zh_CN">
<context>
    <name>AboutForm</name>
    <message>
        <source>本机名称：</source>
        <translation>모델:</translation>
    </message>
    <message>
        <source>软件版本：</source>
        <translation>소프트웨어 버전:</translation>
    </message>
    <message>
        <source>设备版本：</source>
        <translation>기기 버전:</translation>
    </message>
    <message>
        <source>关于</source>
        <translation>정보</translation>
    </message>
</context>
<context>
    <name>AudioDecoder</name>
    <message>
        <source>未知</source>
        <translation>알 수 없음</translation>
    </message>
    <message>
        <source>该曲不可播放</source>
        <translation>재생할 수 없는 곡입니다</translation>
    </message>
    <message>
        <source>受保护文件</source>
        <translation>보호된 파일</translation>
    </message>
    <message>
        <source>文件格式不支持</source>
        <translation>지원하지 않는 파일 형식</translation>
    </message>
</context>
<context>
    <name>DataBase</name>
    <message>
        <source>未知</source>
        <translation>알 수 없음</translation>
    </message>
</context>
<context>
    <name>DataCommunication</name>
    <message>
        <source>未发现固件文件</source>
        <translation>펌웨어 파일이 없습니다</translation>
    </message>
    <message>
        <source>更新固件错误</source>
        <translation>펌웨어 업데이트 오류</translation>
    </message>
</context>
<context>
    <name>DividerSwitchForm</name>
    <message>
        <source>2分频</source>
        <translation>2웨이</translation>
    </message>
    <message>
        <source>3分频</source>
        <translation>3웨이</translation>
    </message>
    <message>
        <source>请按“Play”按键完成设定。</source>
        <translation>설정을 마치려면 &quot;Play&quot; 버튼을 누르십시오.</translation>
    </message>
    <message>
        <source>正在切换，请稍后</source>
        <translation>전환 중입니다. 잠시 기다려 주십시오</translation>
    </message>
    <message>
        <source>切换成功</source>
        <translation>전환 완료</translation>
    </message>
</context>
<context>
    <name>DsdDecoder</name>
    <message>
        <source>文件格式不支持</source>
        <translation>지원하지 않는 파일 형식</translation>
    </message>
    <message>
        <source>未知</source>
        <translation>알 수 없음</translation>
    </message>
</context>
<context>
    <name>EQLabel</name>
    <message>
        <source>高电平</source>
        <translation>하이 레벨</translation>
    </message>
    <message>
        <source>蓝牙音乐</source>
        <translation>BT 오디오</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>꺼짐</translation>
    </message>
    <message>
        <source>光纤</source>
        <translation>광</translation>
    </message>
    <message>
        <source>同轴</source>
        <translation>동축</translation>
    </message>
    <message>
        <source>蓝牙</source>
        <translation>블루투스</translation>
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
        <translation>인치</translation>
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
        <translation>펌웨어 업데이트</translation>
    </message>
    <message>
        <source>经销商设置</source>
        <translation>딜러 설정</translation>
    </message>
    <message>
        <source>序列号</source>
        <translation>시리얼 번호</translation>
    </message>
    <message>
        <source>电检模式</source>
        <translation>진단 모드</translation>
    </message>
    <message>
        <source>未发现固件文件</source>
        <translation>펌웨어 파일이 없습니다</translation>
    </message>
    <message>
        <source>没有序列号</source>
        <translation>시리얼 번호 없음</translation>
    </message>
    <message>
        <source>文件处理中</source>
        <translation>파일 처리 중</translation>
    </message>
    <message>
        <source>更新成功</source>
        <translation>업데이트 완료</translation>
    </message>
    <message>
        <source>固件文件错误</source>
        <translation>펌웨어 파일 오류</translation>
    </message>
</context>
<context>
    <name>FactoryEQForm</name>
    <message>
        <source>标准</source>
        <translation>플랫</translation>
    </message>
    <message>
        <source>流行</source>
        <translation>팝</translation>
    </message>
    <message>
        <source>摇滚</source>
        <translation>록</translation>
    </message>
    <message>
        <source>新闻节目</source>
        <translation>뉴스</translation>
    </message>
    <message>
        <source>爵士</source>
        <translation>재즈</translation>
    </message>
    <message>
        <source>电子</source>
        <translation>일렉트로닉</translation>
    </message>
    <message>
        <source>嘻哈</source>
        <translation>힙합</translation>
    </message>
    <message>
        <source>轻音乐</source>
        <translation>이지 리스닝</translation>
    </message>
    <message>
        <source>乡村</source>
        <translation>컨트리</translation>
    </message>
    <message>
        <source>古典</source>
        <translation>클래식</translation>
    </message>
    <message>
        <source>自定义</source>
        <translation>사용자</translation>
    </message>
</context>
<context>
    <name>MainUSBBTForm</name>
    <message>
        <source>缓冲中...</source>
        <translation>버퍼링 중...</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>已清除异常指令</source>
        <translation>오류 명령을 삭제했습니다</translation>
    </message>
    <message>
        <source>APP已连接
不可进入设置界面</source>
        <translation>앱이 연결되어 있어
설정에 들어갈 수 없습니다</translation>
    </message>
    <message>
        <source>正在恢复原厂设置
请等待．．．</source>
        <translation>공장 초기화 중입니다
잠시 기다려 주십시오...</translation>
    </message>
    <message>
        <source>设备不支持</source>
        <translation>지원하지 않는 장치</translation>
    </message>
    <message>
        <source>请插入USB</source>
        <translation>USB 없음</translation>
    </message>
    <message>
        <source>无歌曲</source>
        <translation>곡 없음</translation>
    </message>
    <message>
        <source>设备读取中</source>
        <translation>읽는 중</translation>
    </message>
    <message>
        <source>设备搜寻中</source>
        <translation>장치 검색 중</translation>
    </message>
    <message>
        <source>版本不匹配</source>
        <translation>버전 불일치</translation>
    </message>
    <message>
        <source>分频器设置</source>
        <translation>크로스오버</translation>
    </message>
    <message>
        <source>未发现Tavelo系统</source>
        <translation>Tavelo 시스템을 찾을 수 없습니다</translation>
    </message>
    <message>
        <source>系统不支持</source>
        <translation>지원하지 않는 시스템</translation>
    </message>
    <message>
        <source>无超低通道</source>
        <translation>서브우퍼 채널 없음</translation>
    </message>
    <message>
        <source>接入USB不可超过
6个硬盘/U盘/分区</source>
        <translation>USB 저장 장치는 최대 6개까지
연결할 수 있습니다</translation>
    </message>
    <message>
        <source>已存储</source>
        <translation>저장됨</translation>
    </message>
    <message>
        <source>成功</source>
        <translation>성공</translation>
    </message>
    <message>
        <source>失败</source>
        <translation>실패</translation>
    </message>
    <message>
        <source>未知</source>
        <translation>알 수 없음</translation>
    </message>
    <message>
        <source>电检模式</source>
        <translation>진단 모드</translation>
    </message>
    <message>
        <source>方控学习</source>
        <translation>스티어링 휠 리모컨</translation>
    </message>
    <message>
        <source>关于</source>
        <translation>정보</translation>
    </message>
</context>
<context>
    <name>NavForm</name>
    <message>
        <source>高电平</source>
        <translation>하이 레벨</translation>
    </message>
    <message>
        <source>蓝牙音乐</source>
        <translation>BT 오디오</translation>
    </message>
</context>
<context>
    <name>ScanAblumArtist</name>
    <message>
        <source>未知</source>
        <translation>알 수 없음</translation>
    </message>
</context>
<context>
    <name>Scanner</name>
    <message>
        <source>未知</source>
        <translation>알 수 없음</translation>
    </message>
</context>
<context>
    <name>SetupForm</name>
    <message>
        <source>音效设置</source>
        <translation>음향 설정</translation>
    </message>
    <message>
        <source>预设均衡器</source>
        <translation>프리셋 EQ</translation>
    </message>
    <message>
        <source>音效清除设置</source>
        <translation>음향 효과 해제</translation>
    </message>
    <message>
        <source>蓝牙</source>
        <translation>블루투스</translation>
    </message>
    <message>
        <source>通用</source>
        <translation>일반</translation>
    </message>
    <message>
        <source>高音</source>
        <translation>고음</translation>
    </message>
    <message>
        <source>低音</source>
        <translation>저음</translation>
    </message>
    <message>
        <source>重低音 </source>
        <translation>서브우퍼</translation>
    </message>
    <message>
        <source>参数均衡器</source>
        <translation>파라메트릭 EQ</translation>
    </message>
    <message>
        <source>左右平衡</source>
        <translation>밸런스</translation>
    </message>
    <message>
        <source>前后平衡</source>
        <translation>페이더</translation>
    </message>
    <message>
        <source>输入音源音量</source>
        <translation>입력 소스 볼륨</translation>
    </message>
    <message>
        <source>时间校正</source>
        <translation>시간 보정</translation>
    </message>
    <message>
        <source>分频器设置</source>
        <translation>크로스오버</translation>
    </message>
    <message>
        <source>声音设置存储</source>
        <translation>사운드 메모리</translation>
    </message>
    <message>
        <source>重低音</source>
        <translation>서브우퍼</translation>
    </message>
    <message>
        <source>重低音相位</source>
        <translation>위상</translation>
    </message>
    <message>
        <source>重低音级别</source>
        <translation>레벨</translation>
    </message>
    <message>
        <source>波段</source>
        <translation>밴드</translation>
    </message>
    <message>
        <source>频率</source>
        <translation>주파수</translation>
    </message>
    <message>
        <source>Q值</source>
        <translation>Q 값</translation>
    </message>
    <message>
        <source>增益</source>
        <translation>게인</translation>
    </message>
    <message>
        <source>蓝牙音乐</source>
        <translation>BT 오디오</translation>
    </message>
    <message>
        <source>高电平</source>
        <translation>하이 레벨</translation>
    </message>
    <message>
        <source>高音 </source>
        <translation>고음 (HPF)</translation>
    </message>
    <message>
        <source>中音高通</source>
        <translation>중음 고역 (HPF)</translation>
    </message>
    <message>
        <source>中音低通</source>
        <translation>중음 저역 (LPF)</translation>
    </message>
    <message>
        <source>低音 </source>
        <translation>저음 (LPF)</translation>
    </message>
    <message>
        <source>前置扬声器</source>
        <translation>프론트 (HPF)</translation>
    </message>
    <message>
        <source>后置扬声器</source>
        <translation>리어 (HPF)</translation>
    </message>
    <message>
        <source>重低音扬声器</source>
        <translation>서브우퍼 (LPF)</translation>
    </message>
    <message>
        <source>斜率</source>
        <translation>슬로프</translation>
    </message>
    <message>
        <source>经销商设置</source>
        <translation>딜러 설정</translation>
    </message>
    <message>
        <source>自定义设置</source>
        <translation>사용자 설정</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>저장</translation>
    </message>
    <message>
        <source>读取</source>
        <translation>불러오기</translation>
    </message>
    <message>
        <source>辅助音源</source>
        <translation>믹스 소스</translation>
    </message>
    <message>
        <source>语言设置</source>
        <translation>언어</translation>
    </message>
    <message>
        <source>艺术显示</source>
        <translation>앨범 아트 표시</translation>
    </message>
    <message>
        <source>调光器控制</source>
        <translation>디머</translation>
    </message>
    <message>
        <source>Tavelo系统匹配</source>
        <translation>Tavelo 시스템</translation>
    </message>
    <message>
        <source>方控学习</source>
        <translation>스티어링 휠 리모컨</translation>
    </message>
    <message>
        <source>内置功放</source>
        <translation>내장 앰프</translation>
    </message>
    <message>
        <source>同轴/光纤</source>
        <translation>SPDIF/광</translation>
    </message>
    <message>
        <source>系统采样率</source>
        <translation>샘플링 레이트</translation>
    </message>
    <message>
        <source>恢复出厂设置</source>
        <translation>공장 초기화</translation>
    </message>
    <message>
        <source>关于</source>
        <translation>정보</translation>
    </message>
    <message>
        <source>主音源衰减量</source>
        <translation>메인 소스 감쇠</translation>
    </message>
    <message>
        <source>辅助音源选择</source>
        <translation>믹스 소스 선택</translation>
    </message>
    <message>
        <source>调光级别</source>
        <translation>디머 밝기</translation>
    </message>
    <message>
        <source>黑屏设置</source>
        <translation>화면 끄기</translation>
    </message>
    <message>
        <source>同轴/光纤开关</source>
        <translation>SPDIF/광</translation>
    </message>
    <message>
        <source>输出音量</source>
        <translation>출력 볼륨</translation>
    </message>
    <message>
        <source>主音量</source>
        <translation>메인 볼륨</translation>
    </message>
    <message>
        <source>输入音源</source>
        <translation>입력 소스</translation>
    </message>
    <message>
        <source>混音音源</source>
        <translation>믹서 소스</translation>
    </message>
    <message>
        <source>上拉强度</source>
        <translation>풀업 강도</translation>
    </message>
    <message>
        <source>连接状态</source>
        <translation>연결 상태</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>설정</translation>
    </message>
    <message>
        <source>开</source>
        <translation>켜짐</translation>
    </message>
    <message>
        <source>关</source>
        <translation>꺼짐</translation>
    </message>
    <message>
        <source>自动</source>
        <translation>자동</translation>
    </message>
    <message>
        <source>手动</source>
        <translation>수동</translation>
    </message>
    <message>
        <source>强</source>
        <translation>강</translation>
    </message>
    <message>
        <source>弱</source>
        <translation>약</translation>
    </message>
    <message>
        <source>已连接</source>
        <translation>연결됨</translation>
    </message>
    <message>
        <source>未连接</source>
        <translation>연결 안 됨</translation>
    </message>
    <message>
        <source>搜寻中...</source>
        <translation>검색 중...</translation>
    </message>
    <message>
        <source>确定切换系统采样率%1? 
系统将会重启</source>
        <translation>샘플링 레이트를 %1(으)로 변경하시겠습니까?
변경 후 시스템이 재시작됩니다.</translation>
    </message>
    <message>
        <source>确认清除音效设置？</source>
        <translation>음향 효과 설정을 해제하시겠습니까?</translation>
    </message>
    <message>
        <source>请确认是否需要恢复原厂设置？
恢复后不可还原。</source>
        <translation>공장 초기화를 하시겠습니까?
초기화 후에는 되돌릴 수 없습니다.</translation>
    </message>
    <message>
        <source>确认保存当前音效</source>
        <translation>현재 음향 설정을 저장하시겠습니까?</translation>
    </message>
    <message>
        <source>正在恢复原厂设置
请等待．．．</source>
        <translation>공장 초기화 중입니다
잠시 기다려 주십시오...</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>취소</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>확인</translation>
    </message>
    <message>
        <source>小型两厢</source>
        <translation>소형 해치백</translation>
    </message>
    <message>
        <source>小型三厢</source>
        <translation>소형 세단</translation>
    </message>
    <message>
        <source>中型三厢</source>
        <translation>중형 세단</translation>
    </message>
    <message>
        <source>大型三厢</source>
        <translation>대형 세단</translation>
    </message>
    <message>
        <source>小型SUV</source>
        <translation>소형 SUV</translation>
    </message>
    <message>
        <source>中大型SUV</source>
        <translation>중대형 SUV</translation>
    </message>
    <message>
        <source>当前</source>
        <translation>현재</translation>
    </message>
</context>
<context>
    <name>TimeCorrention</name>
    <message>
        <source>前左扬声器</source>
        <translation>프론트 L</translation>
    </message>
    <message>
        <source>前右扬声器</source>
        <translation>프론트 R</translation>
    </message>
    <message>
        <source>后左扬声器</source>
        <translation>리어 L</translation>
    </message>
    <message>
        <source>后右扬声器</source>
        <translation>리어 R</translation>
    </message>
    <message>
        <source>左置重低音</source>
        <translation>서브우퍼 L</translation>
    </message>
    <message>
        <source>右置重低音</source>
        <translation>서브우퍼 R</translation>
    </message>
    <message>
        <source>左高音</source>
        <translation>고음 L</translation>
    </message>
    <message>
        <source>右高音</source>
        <translation>고음 R</translation>
    </message>
    <message>
        <source>左中音</source>
        <translation>중음 L</translation>
    </message>
    <message>
        <source>右中音</source>
        <translation>중음 R</translation>
    </message>
    <message>
        <source>左低音</source>
        <translation>저음 L</translation>
    </message>
    <message>
        <source>右低音</source>
        <translation>저음 R</translation>
    </message>
    <message>
        <source>单位</source>
        <translation>단위</translation>
    </message>
</context>
<context>
    <name>TrackMainForm</name>
    <message>
        <source>艺术家</source>
        <translation>아티스트</translation>
    </message>
    <message>
        <source>专辑</source>
        <translation>앨범</translation>
    </message>
    <message>
        <source>歌曲</source>
        <translation>곡</translation>
    </message>
    <message>
        <source>文件格式</source>
        <translation>파일 형식</translation>
    </message>
    <message>
        <source>日期</source>
        <translation>날짜</translation>
    </message>
    <message>
        <source>文件大小</source>
        <translation>파일 크기</translation>
    </message>
    <message>
        <source>曲目管理</source>
        <translation>곡 관리</translation>
    </message>
    <message>
        <source>类别</source>
        <translation>카테고리</translation>
    </message>
    <message>
        <source>%1个分区</source>
        <translation>파티션 %1개</translation>
    </message>
    <message>
        <source>搜索</source>
        <translation>검색</translation>
    </message>
    <message>
        <source>加载中...</source>
        <translation>로딩 중...</translation>
    </message>
    <message>
        <source>没有文件</source>
        <translation>파일 없음</translation>
    </message>
    <message>
        <source>分区</source>
        <translation>파티션</translation>
    </message>
</context>
<context>
    <name>UpgradeForm</name>
    <message>
        <source>固件更新中</source>
        <translation>펌웨어 업데이트 중</translation>
    </message>
    <message>
        <source>固件更新完成</source>
        <translation>펌웨어 업데이트 완료</translation>
    </message>
    <message>
        <source>升级失败 3秒后重启...</source>
        <translation>업데이트 실패, 3초 후 재시작합니다...</translation>
    </message>
</context>
<context>
    <name>WheelStudyForm</name>
    <message>
        <source>音量+</source>
        <translation>볼륨 +</translation>
    </message>
    <message>
        <source>音量-</source>
        <translation>볼륨 -</translation>
    </message>
    <message>
        <source>上一曲</source>
        <translation>이전 곡</translation>
    </message>
    <message>
        <source>下一曲</source>
        <translation>다음 곡</translation>
    </message>
    <message>
        <source>播放/暂停</source>
        <translation>재생/일시정지</translation>
    </message>
    <message>
        <source>静音</source>
        <translation>음소거</translation>
    </message>
    <message>
        <source>音源</source>
        <translation>소스</translation>
    </message>
    <message>
        <source>方控学习</source>
        <translation>스티어링 휠 리모컨</translation>
    </message>
    <message>
        <source>已学习！重新学习请按确定</source>
        <translation>이미 학습됨! 다시 학습하려면 확인을 누르십시오</translation>
    </message>
    <message>
        <source>正在学习...
请按下方向盘按键</source>
        <translation>학습 중...
스티어링 휠 버튼을 누르십시오</translation>
    </message>
    <message>
        <source>学习完成</source>
        <translation>학습 완료</translation>
    </message>
    <message>
        <source>学习失败</source>
        <translation>학습 실패</translation>
    </message>
</context>
</TS>
