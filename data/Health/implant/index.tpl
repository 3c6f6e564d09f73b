<!DOCTYPE html>
<html lang="zh-Hant">
<head>
<meta charset="utf-8">
<title>植牙前後須知</title>
<style>
body { font-family: "Microsoft JhengHei", "Noto Sans CJK TC", sans-serif; margin: 2em; line-height: 1.7; color: #222; }
h1 { color: #1d5c8a; }
.tooth { display: flex; align-items: center; gap: 1.5em; padding: 1em; background: #eef5fa; border-radius: 8px; }
.tooth img { max-width: 320px; max-height: 320px; border: 1px solid #9bb; }
.number { font-size: 2.2em; font-weight: bold; color: #c0392b; }
</style>
</head>
<body>
<h1>植牙前後須知</h1>
<div class="tooth">
<img src="tooth_img01.jpg" alt="您的 [%TOOTH_INFO%] 號牙">
<div>醫師為您說明的牙齒：<br><span class="number">[%TOOTH_INFO%] 號牙</span></div>
</div>
<h2>什麼是植牙？</h2>
<p>植牙是在缺牙的位置把人工牙根（植體）放進齒槽骨，等植體與骨頭長好後，再在上面裝上牙冠，恢復咀嚼功能，也不需要磨小旁邊的牙齒。</p>
<h2>植牙前</h2>
<ul><li>先治療好蛀牙與牙周病</li><li>拍攝 X 光或電腦斷層評估骨頭的高度與寬度</li><li>告訴醫師您的全身病史與正在服用的藥物</li></ul>
<h2>植牙後的照護</h2>
<ul><li>手術後當天冰敷，避免用力漱口與吸吮</li><li>依醫師指示服藥，傷口癒合前避免用該側咀嚼</li><li>植體周圍一樣會得牙周病，要用牙間刷或牙線仔細清潔</li><li>每半年回診檢查植體與咬合</li></ul>
<p><small>本頁為衛教說明，實際狀況與治療方式請依您的牙醫師診斷為準。</small></p>
</body>
</html>
