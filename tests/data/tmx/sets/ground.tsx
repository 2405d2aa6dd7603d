<?xml version="1.0" encoding="UTF-8"?>
<tileset version="1.8" tiledversion="1.8.2" name="地面" tilewidth="64" tileheight="48" tilecount="3" columns="0">
 <grid orientation="orthogonal" width="1" height="1"/>
 <tile id="0">
  <image width="40" height="30" source="../tiles/grass.jpg"/>
 </tile>
 <tile id="1">
  <image width="64" height="48" source="../tiles/石头.png"/>
 </tile>
 <tile id="3">
  <image width="40" height="30" source="../../shared/water &amp; sand.jpg"/>
 </tile>
</tileset>
