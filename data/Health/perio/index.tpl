<!DOCTYPE html>
<html lang="zh-Hant">
<head>
<meta charset="utf-8">
<title>牙周病的照護</title>
<style>
body { font-family: "Microsoft JhengHei", "Noto Sans CJK TC", sans-serif; margin: 2em; line-height: 1.7; color: #222; }
h1 { color: #1d5c8a; }
.tooth { display: flex; align-items: center; gap: 1.5em; padding: 1em; background: #eef5fa; border-radius: 8px; }
.tooth img { max-width: 320px; max-height: 320px; border: 1px solid #9bb; }
.number { font-size: 2.2em; font-weight: bold; color: #c0392b; }
</style>
</head>
<body>
<h1>牙周病的照護</h1>
<div class="tooth">
<img src="tooth_img01.jpg" alt="您的 [%TOOTH_INFO%] 號牙">
<div>醫師為您說明的牙齒：<br><span class="number">[%TOOTH_INFO%] 號牙</span></div>
</div>
<h2>什麼是牙周病？</h2>
<p>牙菌斑與牙結石長期堆積在牙齦邊緣，使牙齦發炎，再往下破壞支撐牙齒的齒槽骨。初期常常不痛，只有刷牙流血，所以很容易被忽略。</p>
<h2>常見的警訊</h2>
<ul><li>刷牙或咬東西時牙齦流血</li><li>牙齦紅腫、口臭</li><li>牙齦萎縮、牙縫變大</li><li>牙齒搖動或咬合位置改變</li></ul>
<h2>治療方式</h2>
<p>先做洗牙與居家清潔指導，囊袋較深時需要深層的牙根整平；若仍無法控制，再評估牙周手術。治療後要定期回診維護，才不會復發。</p>
<h2>在家可以做的事</h2>
<ul><li>牙刷刷毛朝牙齦方向約 45 度，小範圍來回輕刷</li><li>搭配牙線或牙間刷清潔牙縫</li><li>戒菸，並控制好血糖</li><li>每三到六個月回診洗牙檢查</li></ul>
<p><small>本頁為衛教說明，實際狀況與治療方式請依您的牙醫師診斷為準。</small></p>
</body>
</html>
